// Makes real PDF files for tests and reads them back for checks, through
// QPDF alone, so that a check never depends on the code it checks.
#ifndef PDFL_TESTING_PDF_MAKER_H
#define PDFL_TESTING_PDF_MAKER_H

#include <map>
#include <string>
#include <vector>

namespace pdf_maker {

struct PdfOptions {
  std::string version = "1.7";  // written into the header as given
  int pages = 1;
  std::map<std::string, std::string> info;  // key without slash -> string bytes
  std::string xmp;                          // non-empty: the catalog's /Metadata
  bool linearize = false;
  bool objectStreams = false;
  // AES-128 (R4), user password "", owner password "owner", no modification.
  bool encryptNoModify = false;
  // User password "", owner password "owner", every change allowed, the
  // metadata encrypted too: "rc4-128" (R3), "aes-128" (R4) or "aes-256"
  // (R6); empty: none.
  std::string encryption;
  // Written, then every cross-reference offset broken so that QPDF must
  // reconstruct the table. Only for files without object streams.
  bool damageXref = false;
};

// Writes a PDF to path; throws on failure.
void WritePdf(const std::string& path, const PdfOptions& options);

// A small valid packet with CR LF line ends; extraDescriptions are placed
// inside rdf:RDF after its one description.
std::string SimpleXmp(const std::string& extraDescriptions = "");

// Readers for checks. They throw when the file cannot be read as a PDF,
// except CheckOk, which then gives false.
int PageCount(const std::string& path);
bool IsLinearized(const std::string& path);
bool CheckOk(const std::string& path);  // QPDF's check: no errors, no warnings
std::string InfoValue(const std::string& path, const std::string& key);  // empty when absent
std::string MetadataXml(const std::string& path);                        // empty when there is none
std::string PdfVersion(const std::string& path);
bool IsEncrypted(const std::string& path);
bool HasObjectStreams(const std::string& path);
// Each object but the catalog's metadata stream and cross-reference streams,
// as its text and its stream's raw data, by "number generation"; the
// catalog without its /Metadata.
std::map<std::string, std::string> ObjectsBesideMetadata(const std::string& path);
// The document as a reader finds it from the trailer's /Root and /Info,
// whatever its objects' numbers: each object it reaches, numbered in the
// order it is first reached, a stream as its dictionary without its encoding
// and its decoded data, a reference to no object as null, and the catalog
// without its /Metadata. A copy and a rewrite of a document read the same.
std::string DocumentReading(const std::string& path);
// The trailer's /ID strings; empty when it has none.
std::pair<std::string, std::string> TrailerId(const std::string& path);

std::string ReadFile(const std::string& path);                 // the bytes; throws when unreadable
std::vector<std::string> Names(const std::string& directory);  // of its entries, sorted
std::u16string ToUtf16(const std::string& utf8);

// A new directory under the temporary folder for one test, removed with all it
// holds when the object goes. Throws when it cannot be made.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::string& path() const { return path_; }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace pdf_maker

#endif
