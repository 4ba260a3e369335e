#include "held_output.h"

#include <cerrno>
#include <new>

#include "console.h"
#include "error_text.h"
#include "temporary_file.h"

namespace os {

namespace {
// Per stream of a command: enough for what most commands print, small
// enough for many commands held at once.
const size_t kInMemory = 64 * 1024;
}  // namespace

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

bool HeldOutput::openFile() {
  if (!budget_.take())
    return false;
  file_ = temporaryFile();
  // Unbuffered, so that a short write says exactly what the file holds.
  if (!file_ || setvbuf(file_, nullptr, _IONBF, 0) != 0) {
    if (file_)
      fclose(file_);
    file_ = nullptr;
    budget_.giveBack();
  }
  return file_ != nullptr;
}

// When no temporary file can be made, or it can take no more, memory takes
// the rest; when memory runs out, a file is tried again.
void HeldOutput::append(const char* data, size_t size) {
  if (lost_)
    return;
  if (!file_ && tail_.empty() && head_.size() + size <= kInMemory) {
    head_.append(data, size);
    return;
  }
  if (!file_ && tail_.empty())
    openFile();
  size_t written = file_ && tail_.empty() ? fwrite(data, 1, size, file_) : 0;
  try {
    tail_.append(data + written, size - written);
  } catch (const std::bad_alloc&) {
    // Memory is short: a file may still take it, in its place after the
    // first bytes; else it is lost.
    if (!file_ && tail_.empty() && openFile())
      written += fwrite(data + written, 1, size - written, file_);
    lost_ = written < size;
  }
}

// A write that fails drops the rest of the stream: it would fail too.
bool HeldOutput::writeTo(int stream, OutputLoss& loss, int& writeError) {
  writeError = writeStandard(stream, head_.data(), head_.size());
  bool whole = true;
  if (file_) {
    // The file's error flag still holds a write that it could not take.
    clearerr(file_);
    bool read = fseek(file_, 0, SEEK_SET) == 0;
    char buffer[16 * 1024];
    for (size_t n; read && writeError == 0 && (n = fread(buffer, 1, sizeof buffer, file_)) > 0;)
      writeError = writeStandard(stream, buffer, n);
    if (!read || ferror(file_)) {
      whole = false;
      loss = {OutputLoss::kNotReadBack, errorText(errno)};
    }
    closeFile();
  }
  if (writeError == 0)
    writeError = writeStandard(stream, tail_.data(), tail_.size());
  if (!cutShort_.empty()) {
    whole = false;
    loss = {OutputLoss::kNotRead, cutShort_};
  }
  if (lost_) {
    whole = false;
    loss = {OutputLoss::kNotHeld, errorText(ENOMEM)};
  }
  if (writeError != 0 && writeError != EPIPE) {
    whole = false;
    loss = {OutputLoss::kNotWritten, errorText(writeError)};
  }
  head_.clear();
  tail_.clear();
  lost_ = false;
  cutShort_.clear();
  return whole;
}

bool writeHeld(HeldOutput (&held)[2], OutputLoss& loss, bool& outputClosed) {
  fflush(stdout);
  fflush(stderr);
  int outputError = 0, errorsError = 0;
  bool whole = held[0].writeTo(1, loss, outputError);
  whole = held[1].writeTo(2, loss, errorsError) && whole;
  outputClosed = outputError == EPIPE;
  return whole;
}

}  // namespace os
