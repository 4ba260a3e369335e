// A file for QPDF to read, through a cache of one block. QPDF reads a
// cross-reference table an entry at a time and a token a few bytes at a
// time, seeking in between, which on a plain FILE* costs a system call or
// two each: hundreds of thousands for a large file.
#ifndef PDFL_FILE_INPUT_H
#define PDFL_FILE_INPUT_H

#include <cstdio>
#include <string>
#include <vector>

#include <qpdf/InputSource.hh>

namespace pdfl {

class FileInput : public InputSource {
 public:
  // Takes the file, open for reading, and closes it when it goes.
  FileInput(const std::string& name, FILE* file);
  ~FileInput() override;
  FileInput(const FileInput&) = delete;
  FileInput& operator=(const FileInput&) = delete;

  qpdf_offset_t findAndSkipNextEOL() override;
  std::string const& getName() const override;
  qpdf_offset_t tell() override;
  void seek(qpdf_offset_t offset, int whence) override;
  void rewind() override;
  size_t read(char* buffer, size_t length) override;
  void unreadCh(char ch) override;

  // The file, for a copy of its bytes that need not pass through the cache
  // (an extension is not in it).
  FILE* file() const { return file_; }

  // Reads `bytes` after the file's last byte, as if they were written there:
  // a trailer that a repair adds, without changing the file.
  void Extend(const std::string& bytes);

 private:
  // Loads the block that holds `offset`, which is before the file's end.
  void Load(qpdf_offset_t offset);
  // The bytes from the position on that are at hand without a read: in the
  // block, loaded first if need be, or in the extension. Some unless at the end.
  size_t Available(const char** bytes);
  // Moves the position past the bytes that are line ends (or are not).
  void SkipLineEnds(bool ends);

  std::string name_;
  FILE* file_;
  qpdf_offset_t fileSize_ = 0;
  std::string extension_;
  qpdf_offset_t size_ = 0;  // of the file and its extension
  qpdf_offset_t position_ = 0;
  std::vector<char> block_;
  qpdf_offset_t blockAt_ = 0;
  size_t blockLength_ = 0;
};

}  // namespace pdfl

#endif
