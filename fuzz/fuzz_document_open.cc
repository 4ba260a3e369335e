// The stand-in's document open, with repair, on any bytes as a file: it reads
// the document or throws, and never crashes, hangs or leaks.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document.h"

// The file each input is written to, removed when the fuzzer ends.
struct InputFile {
  InputFile() {
    char name[] = "/tmp/fuzz_document_open.XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
      std::abort();
    close(fd);
    path = name;
  }
  ~InputFile() { unlink(path.c_str()); }
  std::string path;
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static InputFile input;
  const std::string& path = input.path;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
    std::abort();
  try {
    PDFLDoc document;
    pdfl::ReadDocument(document, path, true);
    pdfl::InfoDictionary(*document.pdf, false);
    document.pdf->getRoot().getKey("/Metadata");
    pdfl::CheckNoPagesLost(document);
  } catch (...) {
  }
  return 0;
}
