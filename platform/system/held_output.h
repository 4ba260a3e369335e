// A command's output while it runs several at a time: held until it is
// written whole, in memory up to a limit and beyond it in a temporary file,
// so that no output is lost however much there is.
#ifndef PLATFORM_SYSTEM_HELD_OUTPUT_H
#define PLATFORM_SYSTEM_HELD_OUTPUT_H

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <string>

namespace platform {

// How many temporary files held output may keep open at once, so that it
// never takes the descriptors that starting commands needs. Taken from any
// thread.
class FileBudget {
 public:
  explicit FileBudget(size_t files) : left_(files) {}

  bool take();
  void giveBack() { ++left_; }

 private:
  std::atomic<size_t> left_;
};

class HeldOutput {
 public:
  explicit HeldOutput(FileBudget& budget) : budget_(budget) {}
  ~HeldOutput();
  HeldOutput(const HeldOutput&) = delete;
  HeldOutput& operator=(const HeldOutput&) = delete;

  void append(const char* data, size_t size);

  // Writes everything held to standard output (1) or error (2), in order.
  // False, with the reason, when the temporary file could not be read back
  // whole.
  bool writeTo(int stream, std::wstring& reason);

 private:
  void closeFile();

  FileBudget& budget_;
  std::string head_;           // The first bytes, in memory.
  std::FILE* file_ = nullptr;  // The bytes after them, once memory is full.
  std::string tail_;           // The bytes after a file that could take no more.
};

// Writes a command's held standard output and error whole, each to its
// stream, after whatever was written there before. False, with the reason,
// when some of it could not be read back.
bool writeHeld(HeldOutput (&held)[2], std::wstring& reason);

// An anonymous temporary file, gone when closed and not inherited by the
// commands; null when none can be made.
std::FILE* temporaryFile();

// The system's description of a C runtime error number.
std::wstring errorText(int error);

// Writes the bytes to standard output (1) or error (2) as they are. Bytes
// that cannot be written (a closed pipe) are dropped.
void writeStandard(int stream, const char* data, size_t size);

}  // namespace platform

#endif
