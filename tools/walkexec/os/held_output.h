// A command's output while it runs several at a time: held until it is
// written whole, in memory up to a limit and beyond it in a temporary file,
// so that no output is lost however much there is.
#ifndef WALKEXEC_OS_HELD_OUTPUT_H
#define WALKEXEC_OS_HELD_OUTPUT_H

#include <cstddef>
#include <cstdio>
#include <string>

#include "descriptor_budget.h"

namespace os {

// What writing a command's held output lost, if anything, and why.
struct OutputLoss {
  enum What { kNothing, kNotRead, kNotHeld, kNotReadBack, kNotWritten };
  What what = kNothing;
  std::wstring reason;
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

}  // namespace os

#endif
