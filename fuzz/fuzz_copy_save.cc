// The stand-in's save by a copy, against QPDF's reading: a mutated file is
// given a new packet, and whenever its copy is planned, written and passes
// its proof, QPDF must read every object of the copy as it reads the
// source's, but for the metadata stream, the catalog's /Metadata, the
// cross-reference streams and /ID[1], and without a warning the source did
// not give. A proof that lets a damaged copy through aborts.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <qpdf/QPDF.hh>

#include "copy_proof.h"
#include "copy_save.h"
#include "document.h"
#include "file_input.h"

namespace {

// A file of the fuzzer's own, removed when it ends.
struct TemporaryFile {
  explicit TemporaryFile(const char* role) {
    path = std::string("/tmp/fuzz_copy_save.") + role + ".XXXXXX";
    int fd = mkstemp(path.data());
    if (fd < 0)
      std::abort();
    close(fd);
  }
  ~TemporaryFile() { unlink(path.c_str()); }
  std::string path;
};

std::shared_ptr<InputSource> OpenInput(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file)
    std::abort();
  return std::make_shared<pdfl::FileInput>(path, file);
}

std::unique_ptr<QPDF> ReadPdf(const std::shared_ptr<InputSource>& in) {
  auto pdf = std::make_unique<QPDF>();
  pdf->setSuppressWarnings(true);
  pdf->setAttemptRecovery(false);
  pdf->processInputSource(in);
  return pdf;
}

// An object as QPDF reads it: its text, and a stream's raw data; empty when
// it cannot be read.
std::string Reading(QPDF& pdf, QPDFObjGen object, bool catalog) {
  try {
    QPDFObjectHandle handle = pdf.getObject(object);
    if (catalog && handle.isDictionary()) {
      handle = handle.shallowCopy();
      handle.removeKey("/Metadata");
    }
    if (!handle.isStream())
      return handle.unparse();
    auto data = handle.getRawStreamData();
    return handle.getDict().unparse() +
           std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
  } catch (const std::exception&) {
    return std::string();
  }
}

bool IsSkipped(QPDF& pdf, QPDFObjGen object) {
  QPDFObjectHandle handle = pdf.getObject(object);
  if (handle.isStream() && handle.getDict().getKey("/Type").isNameAndEquals("/XRef"))
    return true;
  QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
  return metadata.isIndirect() && metadata.getObjGen() == object;
}

void RequireSameReading(const std::string& sourcePath, const std::string& copyPath) {
  std::unique_ptr<QPDF> source = ReadPdf(OpenInput(sourcePath));
  std::unique_ptr<QPDF> copy = ReadPdf(OpenInput(copyPath));
  QPDFObjGen catalog = source->getRoot().getObjGen();
  for (const auto& [object, entry] : source->getXRefTable()) {
    if (IsSkipped(*source, object))
      continue;
    std::string before = Reading(*source, object, object == catalog);
    if (!before.empty() && before != Reading(*copy, object, object == catalog))
      std::abort();
  }
  if (copy->anyWarnings() && !source->anyWarnings())
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TemporaryFile input("input"), output("output");
  FILE* file = std::fopen(input.path.c_str(), "wb");
  if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
    std::abort();
  try {
    PDFLDoc document;
    pdfl::ReadDocument(document, input.path, true);
    // A packet as long as the old one, longer or shorter, by the last byte.
    QPDFObjectHandle metadata = document.pdf->getRoot().getKey("/Metadata");
    size_t oldLength = metadata.isStream() ? metadata.getRawStreamData()->getSize() : 0;
    size_t length = oldLength + (size ? data[size - 1] % 3 * 40 : 0);
    std::string packet(length > 20 ? length - 20 : length + 1, 'p');
    if (metadata.isStream()) {
      metadata.replaceStreamData(packet, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
    } else {
      document.addsPacket = true;
      document.addedPacket = packet;
    }
    pdfl::CopyPlan plan;
    if (!pdfl::PlanCopy(document, document.pdf->isLinearized(), plan))
      return 0;
    FILE* out = std::fopen(output.path.c_str(), "wb");
    if (!out)
      std::abort();
    pdfl::WriteCopy(*document.source, plan, out);
    if (std::fclose(out) != 0)
      std::abort();
    std::shared_ptr<InputSource> written = OpenInput(output.path);
    std::unique_ptr<QPDF> copy = ReadPdf(written);
    if (!pdfl::ProveCopy(*document.pdf, *copy, *written, plan))
      return 0;
  } catch (const std::runtime_error&) {
    // A file QPDF cannot read, or a copy it cannot read: nothing to compare.
    return 0;
  }
  RequireSameReading(input.path, output.path);
  return 0;
}
