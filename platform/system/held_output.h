// A command's output while it runs several at a time: held until it is
// written whole, in memory up to a limit and beyond it in a temporary file,
// so that no output is lost however much there is.
#ifndef PLATFORM_SYSTEM_HELD_OUTPUT_H
#define PLATFORM_SYSTEM_HELD_OUTPUT_H

#include <cstddef>
#include <cstdio>
#include <string>

namespace platform {

class HeldOutput {
 public:
  HeldOutput() = default;
  ~HeldOutput();
  HeldOutput(const HeldOutput&) = delete;
  HeldOutput& operator=(const HeldOutput&) = delete;

  void append(const char* data, size_t size);

  // Writes everything held to standard output (1) or error (2), in order.
  void writeTo(int stream);

 private:
  std::string head_;           // The first bytes, in memory.
  std::FILE* file_ = nullptr;  // The bytes after them, once memory is full.
  std::string tail_;           // The bytes after a file that could take no more.
};

// Writes a command's held standard output and error whole, each to its
// stream, after whatever was written there before.
void writeHeld(HeldOutput (&held)[2]);

// An anonymous temporary file, gone when closed; null when none can be made.
std::FILE* temporaryFile();

// Writes the bytes to standard output (1) or error (2) as they are. Bytes
// that cannot be written (a closed pipe) are dropped.
void writeStandard(int stream, const char* data, size_t size);

}  // namespace platform

#endif
