#include "jobs.h"

#include <algorithm>

namespace {
// Kept in order, results that wait for an earlier command are held, up to
// this many per job; then nothing starts until it ends, which bounds memory.
const size_t kHeldPerJob = 4;
}  // namespace

Jobs::Jobs(const std::wstring& command, FailureLog& log, unsigned jobs, bool keepOrder)
    : command_(command), log_(log), jobs_(jobs), keepOrder_(keepOrder) {}

void Jobs::run(const std::wstring& path) {
  if (jobs_ == 1) {
    int exitCode = runCommandForFile(runner_, path, command_);
    if (exitCode != 0) log_.logFailure(exitCode, path);
    return;
  }
  // A file matching two patterns is not run twice at the same time.
  auto samePath = [&](const Started& s) { return !s.ended && s.path == path; };
  for (;;) {
    size_t running = std::count_if(started_.begin(), started_.end(),
                                   [](const Started& s) { return !s.ended; });
    bool full = running >= jobs_ || started_.size() >= jobs_ * kHeldPerJob;
    if (!full && std::none_of(started_.begin(), started_.end(), samePath)) break;
    waitForOne();
  }
  int number = runner_.start(commandLineForFile(path, command_));
  if (number < 0) {
    while (!started_.empty()) waitForOne();
    runner_.endByInterrupt();
  }
  started_.push_back({path, number, false, 0});
}

void Jobs::finish() {
  while (!started_.empty()) waitForOne();
  if (runner_.interrupted()) runner_.endByInterrupt();
}

void Jobs::waitForOne() {
  int exitCode = 0;
  int number = runner_.wait(exitCode);
  auto ended = std::find_if(started_.begin(), started_.end(),
                            [&](const Started& s) { return !s.ended && s.number == number; });
  ended->ended = true;
  ended->exitCode = exitCode;
  if (!keepOrder_) {
    write(*ended);
    started_.erase(ended);
    return;
  }
  while (!started_.empty() && started_.front().ended) {
    write(started_.front());
    started_.pop_front();
  }
}

// The log line first: once the output is written, an interrupt may end the
// process.
void Jobs::write(const Started& started) {
  if (started.exitCode != 0) log_.logFailure(started.exitCode, started.path);
  runner_.writeOutput(started.number);
}
