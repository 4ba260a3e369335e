#include "held_output.h"

#include <cerrno>

namespace platform {

namespace {
// Per stream of a command: enough for what most commands print, small
// enough for many commands held at once.
const size_t kInMemory = 64 * 1024;
}  // namespace

bool FileBudget::take() {
  size_t left = left_.load();
  while (left > 0 && !left_.compare_exchange_weak(left, left - 1)) {
  }
  return left > 0;
}

HeldOutput::~HeldOutput() {
  closeFile();
}

void HeldOutput::closeFile() {
  if (!file_)
    return;
  fclose(file_);  // Only read from: nothing to lose.
  file_ = nullptr;
  budget_.giveBack();
}

// When no temporary file can be made, or it can take no more, memory takes
// the rest: output is never dropped.
void HeldOutput::append(const char* data, size_t size) {
  if (!file_ && tail_.empty() && head_.size() + size <= kInMemory) {
    head_.append(data, size);
    return;
  }
  if (!file_ && tail_.empty() && budget_.take()) {
    file_ = temporaryFile();
    // Unbuffered, so that a short write says exactly what the file holds.
    if (!file_ || setvbuf(file_, nullptr, _IONBF, 0) != 0) {
      if (file_)
        fclose(file_);
      file_ = nullptr;
      budget_.giveBack();
    }
  }
  size_t written = file_ && tail_.empty() ? fwrite(data, 1, size, file_) : 0;
  tail_.append(data + written, size - written);
}

bool HeldOutput::writeTo(int stream, std::wstring& reason) {
  writeStandard(stream, head_.data(), head_.size());
  bool whole = true;
  if (file_) {
    whole = fseek(file_, 0, SEEK_SET) == 0;
    char buffer[16 * 1024];
    for (size_t n; whole && (n = fread(buffer, 1, sizeof buffer, file_)) > 0;)
      writeStandard(stream, buffer, n);
    if (!whole || ferror(file_)) {
      whole = false;
      reason = errorText(errno);
    }
    closeFile();
  }
  writeStandard(stream, tail_.data(), tail_.size());
  head_.clear();
  tail_.clear();
  return whole;
}

bool writeHeld(HeldOutput (&held)[2], std::wstring& reason) {
  fflush(stdout);
  fflush(stderr);
  bool whole = held[0].writeTo(1, reason);
  return held[1].writeTo(2, reason) && whole;
}

}  // namespace platform
