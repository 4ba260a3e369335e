// A command's output while it runs several at a time: held until it is
// written whole, in memory up to a limit and beyond it in a temporary file,
// so that no output is lost however much there is.
#ifndef PLATFORM_SYSTEM_HELD_OUTPUT_H
#define PLATFORM_SYSTEM_HELD_OUTPUT_H

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <string>

#include "system.h"

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

  // Output that memory cannot take goes to a temporary file; when neither
  // can, it and what comes after it are lost, which writeTo() tells.
  void append(const char* data, size_t size);

  // The command's pipe failed before its end, for `reason`.
  void cutShort(const std::wstring& reason) { cutShort_ = reason; }

  // Writes everything held to standard output (1) or error (2), in order.
  // False, with what was lost, when some of it could not be read, held,
  // read back or written; a write to a closed pipe is told as EPIPE in
  // `writeError`.
  bool writeTo(int stream, OutputLoss& loss, int& writeError);

 private:
  void closeFile();
  bool openFile();

  FileBudget& budget_;
  std::string head_;           // The first bytes, in memory.
  std::FILE* file_ = nullptr;  // The bytes after them, once memory is full.
  std::string tail_;           // The bytes after a file that could take no more.
  bool lost_ = false;          // Memory and the file could take no more.
  std::wstring cutShort_;      // Why the pipe could not be read to its end.
};

// Writes a command's held standard output and error whole, each to its
// stream, after whatever was written there before. False, with what was
// lost, when some of it could not be held, read back or written. A closed
// pipe loses nothing that could have been shown: on standard error it is
// no loss, and on standard output it sets `outputClosed`.
bool writeHeld(HeldOutput (&held)[2], OutputLoss& loss, bool& outputClosed);

// An anonymous temporary file, gone when closed and not inherited by the
// commands; null when none can be made.
std::FILE* temporaryFile();

// The system's description of a C runtime error number.
std::wstring errorText(int error);

// Writes the bytes to standard output (1) or error (2) as they are. Returns
// 0, or the C runtime error number of a write that failed (EPIPE for a
// closed pipe), whose bytes are dropped.
int writeStandard(int stream, const char* data, size_t size);

}  // namespace platform

#endif
