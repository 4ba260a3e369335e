#include "jobs.h"

#include <algorithm>

#include <boost/format.hpp>

namespace {
// Kept in order, results that wait for an earlier command are held, up to
// this many per job; then nothing starts until it ends, which bounds memory.
const size_t kHeldPerJob = 4;
}  // namespace

Jobs::Jobs(const std::wstring& command, RunLogs& logs, unsigned jobs, bool keepOrder)
    : command_(command), logs_(logs), jobs_(jobs), keepOrder_(keepOrder), runner_(jobs) {}

void Jobs::run(const std::wstring& path) {
  if (!logs_.succeeded.empty() && logs_.succeeded.count(platform::utf16leBytes(path))) return;
  const std::wstring line = commandLineForFile(path, command_);
  if (jobs_ == 1) {
    int exitCode = 0;
    if (!runner_.run(line, exitCode)) return giveUp(path);
    logs_.jobs.append(exitCode, path);
    if (exitCode != 0) logs_.failures.append(exitCode, path);
    runner_.resultsWritten();
    return;
  }
  // A file matching two patterns is not run twice at the same time.
  auto samePath = [&](const Started& s) { return !s.ended && s.path == path; };
  for (;;) {
    bool full = running() >= jobs_ || started_.size() >= jobs_ * kHeldPerJob;
    if (!full && std::none_of(started_.begin(), started_.end(), samePath)) break;
    waitForOne();
  }
  for (;;) {
    int number = runner_.start(line);
    if (number >= 0) {
      started_.push_back({path, number, false, 0});
      return;
    }
    if (number == platform::CommandRunner::kInterrupted) {
      while (!started_.empty()) waitForOne();
      runner_.endByInterrupt();
    }
    if (running() == 0) return giveUp(path);
    waitForOne();
  }
}

void Jobs::finish() {
  while (!started_.empty()) waitForOne();
  if (runner_.interrupted()) runner_.endByInterrupt();
}

size_t Jobs::running() const {
  return std::count_if(started_.begin(), started_.end(), [](const Started& s) { return !s.ended; });
}

// The job log hears of a command as soon as it ends, so that a run cut
// short while its output waits is not run again.
void Jobs::waitForOne() {
  int exitCode = 0;
  int number = runner_.wait(exitCode);
  auto ended = std::find_if(started_.begin(), started_.end(),
                            [&](const Started& s) { return !s.ended && s.number == number; });
  ended->ended = true;
  ended->exitCode = exitCode;
  logs_.jobs.append(exitCode, ended->path);
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
  if (started.exitCode != 0) logs_.failures.append(started.exitCode, started.path);
  std::wstring reason;
  if (runner_.writeOutput(started.number, reason)) return;
  platform::writeError((boost::wformat(L"walkexec: cannot read back the output of the command for "
                                       L"%s: %s\n") %
                        started.path % reason)
                           .str());
  failed_ = true;
}

void Jobs::giveUp(const std::wstring& path) {
  platform::writeError((boost::wformat(L"walkexec: cannot start the command for %s: %s\n") % path %
                        runner_.startError())
                           .str());
  logs_.jobs.append(-1, path);
  logs_.failures.append(-1, path);
  failed_ = true;
}
