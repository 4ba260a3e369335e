#include "save.h"

#include <cstdio>
#include <memory>
#include <string>

#include <qpdf/QPDFWriter.hh>

#include "copy_save.h"
#include "document.h"
#include "errors.h"
#include "hooks.h"
#include "metadata.h"
#include "native.h"
#include "paths.h"

namespace pdfl {

namespace {

// Opens what was written, before it replaces the target. A copy must also
// hold the packet it was made for.
std::unique_ptr<QPDF> ReadBack(const std::shared_ptr<InputSource>& copy,
                               const CopyPlan* plan) {
  auto pdf = std::make_unique<QPDF>();
  pdf->setSuppressWarnings(true);
  pdf->setAttemptRecovery(false);
  pdf->processInputSource(copy);
  if (!pdf->getRoot().isDictionary())
    Fail(kPDFLErrBadPDF);
  if (plan && !plan->packet.empty()) {
    QPDFObjectHandle metadata = pdf->getRoot().getKey("/Metadata");
    if (!metadata.isStream())
      Fail(kPDFLErrBadPDF);
    auto data = metadata.getRawStreamData();
    if (std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()) !=
        plan->packet)
      Fail(kPDFLErrBadPDF);
  }
  return pdf;
}

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
  return params.setVersion != 1 ||
         pdf.getPDFVersion() ==
             std::to_string(params.majorVersion) + "." + std::to_string(params.minorVersion);
}

void Write(PDFLDoc& document, const PDDocSaveParams& params, FILE* file) {
  AddStoredPacket(document);
  QPDF& pdf = *document.pdf;
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

}  // namespace

void DocSaveWithParams(PDDoc doc, PDDocSaveParams* params) {
  // A testing build's fault comes once the new file is written, so that it
  // takes the path of a save that fails half way.
  Entry(nullptr, [&] {
    PDFLDoc& document = DocumentOf(doc);
    if (!params || params->size < sizeof(PDDocSaveParams) || !params->newPath)
      Fail(kPDFLErrBadParameter);
    bool linearize = (params->saveFlags & kPDSaveLinearized) != 0;
    CopyPlan plan;
    bool copy =
        CopyKeepsWhatTheRecordAsks(*document.pdf, *params) && PlanCopy(document, linearize, plan);
    NativePath target = PathOf(params->newPath);
    // A document read from a file of the process's own that has no name
    // (docmark's scratch file) is patched in place and takes the target's
    // place: copying it would double the cost of a re-tag.
    bool patch = copy && plan.KeepsLengths() && CanTakeTargetsPlace(document.path, target);
    std::unique_ptr<NewFile> newFile = patch ? std::make_unique<NewFile>(target, document.path)
                                             : std::make_unique<NewFile>(target);
    NewFile& file = *newFile;
    try {
      if (patch)
        WriteSplices(plan, file.file());
      else if (copy)
        WriteCopy(*document.source, plan, file.file());
      else
        Write(document, *params, file.file());
    } catch (const std::exception&) {
      Fail(kPDFLErrFileWrite);
    }
    // After the write, which has read every object: damage that QPDF
    // repaired on the way counts too.
    CheckNoPagesLost(document);
    file.Finish();
    if (ASErrorCode code = CurrentHooks().Fault("PDDocSaveWithParams"))
      Fail(code);
    std::shared_ptr<InputSource> saved = file.OpenCopy();
    std::unique_ptr<QPDF> pdf = ReadBack(saved, copy ? &plan : nullptr);
    file.ReplaceTarget();
    document.pdf = std::move(pdf);
    document.source = saved;
    document.changedBeyondMetadata = false;
    document.addsPacket = false;
    document.addedPacket.clear();
    CurrentHooks().Count(Event::kSaved);
    if (copy)
      CurrentHooks().Count(Event::kCopied);
  });
}

}  // namespace pdfl
