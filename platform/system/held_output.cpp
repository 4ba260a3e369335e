#include "held_output.h"

namespace platform {

namespace {
// Per stream of a command: enough for what most commands print, small
// enough for many commands held at once.
const size_t kInMemory = 64 * 1024;
}  // namespace

HeldOutput::~HeldOutput() {
  if (file_) fclose(file_);
}

// When no temporary file can be made, or it can take no more, memory takes
// the rest: output is never dropped.
void HeldOutput::append(const char* data, size_t size) {
  if (!file_ && tail_.empty() && head_.size() + size <= kInMemory) {
    head_.append(data, size);
    return;
  }
  if (!file_ && tail_.empty()) {
    file_ = temporaryFile();
    // Unbuffered, so that a short write says exactly what the file holds.
    if (file_) setvbuf(file_, nullptr, _IONBF, 0);
  }
  size_t written = file_ && tail_.empty() ? fwrite(data, 1, size, file_) : 0;
  tail_.append(data + written, size - written);
}

void HeldOutput::writeTo(int stream) {
  writeStandard(stream, head_.data(), head_.size());
  if (file_) {
    rewind(file_);
    char buffer[16 * 1024];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, file_)) > 0;)
      writeStandard(stream, buffer, n);
    fclose(file_);
    file_ = nullptr;
  }
  writeStandard(stream, tail_.data(), tail_.size());
  head_.clear();
  tail_.clear();
}

void writeHeld(HeldOutput (&held)[2]) {
  fflush(stdout);
  fflush(stderr);
  held[0].writeTo(1);
  held[1].writeTo(2);
}

}  // namespace platform
