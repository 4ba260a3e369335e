#include "save.h"

#include <cstdio>
#include <memory>
#include <string>

#include <qpdf/QPDFWriter.hh>

#include "copy/copy_plan.h"
#include "copy/copy_proof.h"
#include "copy/copy_writer.h"
#include "document.h"
#include "errors.h"
#include "hooks.h"
#include "metadata.h"
#include "operations.h"
#include "os/new_file.h"
#include "paths.h"

namespace pdfl {

std::unique_ptr<QPDF> ReadBack(const std::shared_ptr<InputSource>& saved) {
  auto pdf = std::make_unique<QPDF>();
  pdf->setSuppressWarnings(true);
  pdf->setAttemptRecovery(false);
  pdf->processInputSource(saved);
  return pdf;
}

namespace {

bool HasObjectStreams(QPDF& pdf) {
  for (const auto& [object, entry] : pdf.getXRefTable()) {
    if (entry.getType() == 2)
      return true;
  }
  return false;
}

// A copy keeps the file's version and layout: a record that changes the
// version, or asks to unpack object streams the file has, takes the rewrite.
// Compressed output is what a file with or without object streams already is.
bool CopyKeepsWhatTheRecordAsks(QPDF& pdf, const PDDocSaveParams& params) {
  if ((params.saveFlags2 & kPDSave2Uncompressed) && HasObjectStreams(pdf))
    return false;
  return params.setVersion != 1 || pdf.getPDFVersion() == std::to_string(params.majorVersion) +
                                                              "." +
                                                              std::to_string(params.minorVersion);
}

// QPDF writes the encryption of version 4 it copies with AES, whatever the
// file used; a file that uses RC4 there cannot be written again under its
// own method without its owner password, so its save fails instead.
void CheckEncryptionKept(QPDF& pdf) {
  int R = 0, P = 0, V = 0;
  QPDF::encryption_method_e stream = QPDF::e_none, string = QPDF::e_none, file = QPDF::e_none;
  if (pdf.isEncrypted(R, P, V, stream, string, file) && V == 4 &&
      (stream == QPDF::e_rc4 || string == QPDF::e_rc4))
    Fail(kPDFLErrFileWrite);
}

void Write(PDFLDoc& document, const PDDocSaveParams& params, FILE* file) {
  AddStoredPacket(document);
  QPDF& pdf = *document.pdf;
  // The packet goes into the file as it was stored, uncompressed. QPDF would
  // compress it in an encrypted file, and the compressed length moves with
  // the digits of the size in the tag, so that the file's size would move
  // with them; uncompressed, the size follows the packet's length alone,
  // which its padding keeps.
  QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
  if (metadata.isStream() && !metadata.getDict().hasKey("/Filter"))
    metadata.setFilterOnWrite(false);
  QPDFWriter writer(pdf);
  writer.setOutputFile("new file", file, false);
  writer.setNewlineBeforeEndstream(true);
  writer.setLinearization((params.saveFlags & kPDSaveLinearized) != 0);
  // Object streams that the document has are kept as they are: packing
  // every object anew would cost half as much again as the rest of the save.
  if (params.saveFlags2 & kPDSave2Compressed)
    writer.setObjectStreamMode(HasObjectStreams(pdf) ? qpdf_o_preserve : qpdf_o_generate);
  else if (params.saveFlags2 & kPDSave2Uncompressed)
    writer.setObjectStreamMode(qpdf_o_disable);
  if (params.setVersion == 1) {
    std::string version =
        std::to_string(params.majorVersion) + "." + std::to_string(params.minorVersion);
    // Forcing an encrypted document below what its encryption needs would
    // write it undecryptable: there the version is a minimum.
    if (pdf.isEncrypted())
      writer.setMinimumPDFVersion(version);
    else
      writer.forcePDFVersion(version);
  }
  writer.write();
}

// What every save does once its new file is written: make sure no page was
// lost, flush it, and give a testing build its fault, which then takes the
// path of a save that fails half way.
void FinishNewFile(PDFLDoc& document, NewFile& file) {
  // After the write, which has read every object: damage that QPDF repaired
  // on the way counts too.
  CheckNoPagesLost(document);
  file.Finish();
  if (ASErrorCode code = CurrentHooks().Fault("PDDocSaveWithParams"))
    Fail(code);
}

// The document reads the file it was saved to from now on.
void Adopt(PDFLDoc& document, std::unique_ptr<QPDF> pdf, std::shared_ptr<InputSource> saved) {
  document.pdf = std::move(pdf);
  document.source = std::move(saved);
  document.changedBeyondMetadata = false;
  document.addsPacket = false;
  document.addedPacket.clear();
}

// Writes the copy and, once it is proven to read as the document, puts it in
// the target's place. False, with the target untouched, when the proof
// rejects it. A document read from docmark's scratch file (one of the
// process's own with no name on POSIX, one named after the target on
// Windows) is patched in place and takes the target's place, since copying
// it would double the cost of a re-tag; a patch that
// fails its proof is undone, so that the document can still be rewritten.
bool SaveCopy(PDFLDoc& document, CopyPlan& plan, const NativePath& target) {
  if (CurrentHooks().DamageCopy() && !plan.splices.empty())
    plan.splices.front().at -= 1;
  bool patch = plan.KeepsLengths() && CanTakeTargetsPlace(document.path, target);
  std::vector<Splice> undo;
  std::unique_ptr<NewFile> file;
  try {
    if (patch) {
      undo = Undo(plan.splices, *document.source);
      file = std::make_unique<NewFile>(target, document.path);
      WriteSplices(plan.splices, file->file());
    } else {
      file = std::make_unique<NewFile>(target);
      WriteCopy(*document.source, plan.splices, file->file());
    }
  } catch (const std::exception&) {
    FailStdio(kPDFLErrFileWrite);
  }
  FinishNewFile(document, *file);
  std::shared_ptr<InputSource> saved = file->OpenCopy();
  std::unique_ptr<QPDF> pdf;
  bool proven = false;
  try {
    pdf = ReadBack(saved);
    proven = ProveCopy(*document.pdf, *pdf, *saved, plan);
  } catch (const std::runtime_error&) {
    // A copy that QPDF cannot even read is one that failed its proof.
  }
  if (!proven) {
    try {
      if (patch)
        WriteSplices(undo, file->file());
    } catch (const std::exception&) {
      FailStdio(kPDFLErrFileWrite);
    }
    return false;
  }
  // A patched file is the one the document reads: the document moves to the
  // copy's handle first, which follows the file through the rename.
  if (patch)
    Adopt(document, std::move(pdf), saved);
  file->ReplaceTarget();
  if (!patch)
    Adopt(document, std::move(pdf), saved);
  return true;
}

void SaveRewrite(PDFLDoc& document, const PDDocSaveParams& params, const NativePath& target) {
  CheckEncryptionKept(*document.pdf);
  // A rewrite holds every object at once: a file the damage took pages from
  // is refused before it costs that.
  CheckNoPagesCutOff(document);
  NewFile file(target);
  try {
    Write(document, params, file.file());
  } catch (const std::exception&) {
    FailStdio(kPDFLErrFileWrite);
  }
  FinishNewFile(document, file);
  std::shared_ptr<InputSource> saved = file.OpenCopy();
  std::unique_ptr<QPDF> pdf = ReadBack(saved);
  if (!pdf->getRoot().isDictionary())
    Fail(kPDFLErrBadPDF);
  file.ReplaceTarget();
  Adopt(document, std::move(pdf), saved);
}

}  // namespace

void PDDocSaveWithParams(PDDoc doc, PDDocSaveParams* params) {
  Entry(nullptr, [&] {
    PDFLDoc& document = DocumentOf(doc);
    if (!params || params->size < sizeof(PDDocSaveParams) || !params->newPath)
      Fail(kPDFLErrBadParameter);
    NativePath target = PathOf(params->newPath);
    bool linearize = (params->saveFlags & kPDSaveLinearized) != 0;
    CopyPlan plan;
    bool copied = CopyKeepsWhatTheRecordAsks(*document.pdf, *params) &&
                  PlanCopy(document, linearize, plan) && SaveCopy(document, plan, target);
    if (!copied)
      SaveRewrite(document, *params, target);
    CurrentHooks().Count(Event::kSaved);
    if (copied)
      CurrentHooks().Count(Event::kCopied);
  });
}

}  // namespace pdfl
