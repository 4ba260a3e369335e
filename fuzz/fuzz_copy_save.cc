// The stand-in's save by a copy, against QPDF's reading: a mutated file is
// given a new packet, and whenever its copy is planned, written and passes
// its proof, QPDF must read every object of the copy as it reads the
// source's, but for the metadata stream, the catalog's /Metadata, the
// cross-reference and object streams (whose members count) and /ID[1], and
// without a warning the source did
// not give. A proof that lets a damaged copy through aborts. Besides
// libFuzzer's own mutations, one of ours writes object-like text of the file
// (an object, "xref", "trailer", "startxref") over the data of a stream or
// the inside of a string, so that objects lie in other objects' bytes,
// another lowers /Size by one, as careless producers do, and a third
// appends an incremental update. The seeds hold several revisions, hybrid
// tables and encryption too.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <qpdf/QPDF.hh>

#include "copy/copy_plan.h"
#include "copy/copy_proof.h"
#include "copy/copy_writer.h"
#include "document.h"
#include "file_input.h"
#include "save.h"

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

// Cross-reference streams are written anew, and so is an object stream that
// held objects of earlier revisions: its members are compared one by one.
bool IsSkipped(QPDF& pdf, QPDFObjGen object, const std::set<int>& objectStreams) {
  QPDFObjectHandle handle = pdf.getObject(object);
  if (objectStreams.count(object.getObj()) ||
      (handle.isStream() && handle.getDict().getKey("/Type").isNameAndEquals("/XRef")))
    return true;
  QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
  return metadata.isIndirect() && metadata.getObjGen() == object;
}

void RequireSameReading(const std::string& sourcePath, const std::string& copyPath) {
  std::unique_ptr<QPDF> source = pdfl::ReadBack(OpenInput(sourcePath));
  std::unique_ptr<QPDF> copy = pdfl::ReadBack(OpenInput(copyPath));
  QPDFObjGen catalog = source->getRoot().getObjGen();
  std::set<int> objectStreams;
  for (const auto& [object, entry] : source->getXRefTable()) {
    if (entry.getType() == 2)
      objectStreams.insert(entry.getObjStreamNumber());
  }
  for (const auto& [object, entry] : source->getXRefTable()) {
    if (IsSkipped(*source, object, objectStreams))
      continue;
    std::string before = Reading(*source, object, object == catalog);
    if (!before.empty() && before != Reading(*copy, object, object == catalog))
      std::abort();
  }
  if (copy->anyWarnings() && !source->anyWarnings())
    std::abort();
}

// Where `word` occurs in the bytes.
std::vector<size_t> Occurrences(const std::string& bytes, const std::string& word) {
  std::vector<size_t> found;
  for (size_t at = bytes.find(word); at != std::string::npos; at = bytes.find(word, at + 1))
    found.push_back(at);
  return found;
}

// Text of the file that looks like an object or a part of the
// cross-reference: from an "obj" line's number through its endobj, or a
// keyword of the file's end with what follows it.
std::string ObjectLikeText(const std::string& bytes, std::mt19937& random) {
  std::vector<size_t> headers = Occurrences(bytes, " 0 obj");
  for (const char* keyword : {"xref", "trailer", "startxref"}) {
    for (size_t at : Occurrences(bytes, keyword))
      headers.push_back(at);
  }
  if (headers.empty())
    return std::string();
  size_t at = headers[random() % headers.size()];
  while (at > 0 && bytes[at - 1] >= '0' && bytes[at - 1] <= '9')
    --at;
  size_t end = bytes.find("endobj", at);
  end = end == std::string::npos ? std::min(bytes.size(), at + 200) : end + 6;
  return "\n" + bytes.substr(at, end - at) + "\n";
}

// Writes object-like text over the data of a stream or the inside of a
// literal string, keeping every length.
bool Nest(std::string& bytes, std::mt19937& random) {
  std::string text = ObjectLikeText(bytes, random);
  std::vector<size_t> places = Occurrences(bytes, "stream\n");
  for (size_t at : Occurrences(bytes, "("))
    places.push_back(at);
  if (text.empty() || places.empty())
    return false;
  size_t at = places[random() % places.size()];
  at += bytes[at] == '(' ? 1 : 7;
  size_t room = bytes.find(bytes[at - 1] == '(' ? ")" : "endstream", at);
  if (room == std::string::npos || room - at < text.size())
    return false;
  bytes.replace(at, text.size(), text);
  return true;
}

// /Size one lower, its digits kept in number.
bool LowerSize(std::string& bytes, std::mt19937& random) {
  std::vector<size_t> sizes = Occurrences(bytes, "/Size ");
  if (sizes.empty())
    return false;
  size_t at = sizes[random() % sizes.size()] + 6, end = at;
  while (end < bytes.size() && bytes[end] >= '0' && bytes[end] <= '9')
    ++end;
  if (end == at)
    return false;
  long long size = std::stoll(bytes.substr(at, std::min<size_t>(end - at, 12)));
  std::string lower = std::to_string(std::max(0LL, size - 1));
  lower.insert(0, end - at - std::min(end - at, lower.size()), ' ');
  bytes.replace(at, end - at, lower);
  return true;
}

// The last match of `pattern` (a prefix, then digits and what follows
// them up to `end`) in the bytes, or empty.
std::string LastAfter(const std::string& bytes, const std::string& prefix, const std::string& end) {
  size_t at = bytes.rfind(prefix);
  if (at == std::string::npos)
    return std::string();
  size_t stop = bytes.find(end, at + prefix.size());
  return stop == std::string::npos ? std::string()
                                   : bytes.substr(at + prefix.size(), stop - at - prefix.size());
}

// An incremental update: object-like text of the file appended as a new
// revision of its object, listed by a table whose trailer names the
// previous section, as an editor that appends its changes writes it.
bool AppendUpdate(std::string& bytes, std::mt19937& random) {
  std::string object = ObjectLikeText(bytes, random);
  std::string root = LastAfter(bytes, "/Root ", "R"), size = LastAfter(bytes, "/Size ", "/");
  std::string previous = LastAfter(bytes, "startxref", "%%EOF");
  size_t number = object.find_first_of("0123456789");
  if (object.find(" obj") == std::string::npos || root.empty() || number == std::string::npos ||
      previous.find_first_of("0123456789") == std::string::npos)
    return false;
  std::string digits = object.substr(number, object.find(' ', number) - number);
  std::string offset = std::to_string(bytes.size() + number);
  bytes += object;
  std::string xref = std::to_string(bytes.size());
  bytes += "xref\n0 1\n0000000000 65535 f \n" + digits + " 1\n" +
           std::string(10 - std::min<size_t>(10, offset.size()), '0') + offset + " 00000 n \n" +
           "trailer\n<< /Size " + size.substr(0, size.find_first_not_of("0123456789 ")) +
           " /Root " + root + "R /Prev " + previous.substr(previous.find_first_of("0123456789")) +
           " >>\nstartxref\n" + xref + "\n%%EOF\n";
  return true;
}

}  // namespace

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
  std::mt19937 random(seed);
  std::string bytes(reinterpret_cast<const char*>(data), size);
  unsigned choice = random() % 8;
  if ((choice == 0 && Nest(bytes, random)) || (choice == 1 && LowerSize(bytes, random)) ||
      (choice == 2 && AppendUpdate(bytes, random))) {
    if (bytes.size() <= maxSize) {
      std::copy(bytes.begin(), bytes.end(), data);
      return bytes.size();
    }
  }
  return LLVMFuzzerMutate(data, size, maxSize);
}

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
    pdfl::WriteCopy(*document.source, plan.splices, out);
    if (std::fclose(out) != 0)
      std::abort();
    std::shared_ptr<InputSource> written = OpenInput(output.path);
    std::unique_ptr<QPDF> copy = pdfl::ReadBack(written);
    if (!pdfl::ProveCopy(*document.pdf, *copy, *written, plan))
      return 0;
  } catch (const std::runtime_error&) {
    // A file QPDF cannot read, or a copy it cannot read: nothing to compare.
    return 0;
  }
  RequireSameReading(input.path, output.path);
  return 0;
}
