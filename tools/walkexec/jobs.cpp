#include "jobs.h"

#include <algorithm>

#include <boost/format.hpp>

#include "command.h"
#include "console.h"
#include "text.h"

namespace {
// Kept in order, results that wait for an earlier command are held, up to
// this many per job; then nothing starts until it ends, which bounds memory.
const size_t kHeldPerJob = 4;
}  // namespace

Jobs::Jobs(const std::wstring& command, RunLogs& logs, unsigned jobs, bool keepOrder)
    : command_(command),
      logs_(logs),
      jobs_(jobs),
      keepOrder_(keepOrder),
      runner_(jobs),
      room_(runner_.capacity()) {}

void Jobs::run(const std::wstring& path) {
  if (!logs_.succeeded.empty() && logs_.succeeded.count(os::utf16leBytes(path)))
    return;
  if (jobs_ == 1) {
    int exitCode = 0;
    if (!runner_.run(commandLineForFile(path, command_), exitCode))
      return giveUp(path);
    logs_.jobs.append(exitCode, path);
    if (exitCode != 0)
      logs_.failures.append(exitCode, path);
    runner_.resultsWritten();
    return;
  }
  waiting_.push_back(path);
  startWaiting();
}

void Jobs::finish() {
  while (!waiting_.empty() || !started_.empty()) {
    if (!waiting_.empty())
      startWaiting();
    else
      waitForOne();
  }
  if (runner_.interrupts().interrupted())
    runner_.interrupts().endProcess();
}

size_t Jobs::running() const {
  return std::count_if(started_.begin(), started_.end(), [](const Started& s) { return !s.ended; });
}

// A job free, not too many results held, no command for the same path
// running (a file matching two patterns), and after a start that failed, a
// command ended since or none left to wait for.
bool Jobs::roomFor(const std::wstring& path) const {
  size_t now = running();
  if (now >= room_ || started_.size() >= jobs_ * kHeldPerJob || (blocked_ && now > 0))
    return false;
  return std::none_of(started_.begin(), started_.end(),
                      [&](const Started& s) { return !s.ended && s.path == path; });
}

void Jobs::startWaiting() {
  while (!waiting_.empty()) {
    if (!roomFor(waiting_.front())) {
      waitForOne();
      continue;
    }
    blocked_ = false;
    int number = runner_.start(commandLineForFile(waiting_.front(), command_));
    if (number == os::CommandRunner::kInterrupted) {
      while (!started_.empty())
        waitForOne();
      runner_.interrupts().endProcess();
    }
    started_.push_back({waiting_.front(), number, false, 0});
    waiting_.pop_front();
  }
}

// The job log hears of a command as soon as it ends, so that a run cut
// short while its output waits is not run again. A command that could not
// start goes first in line again while others run, to start once one has
// ended; with none running it is given up.
void Jobs::waitForOne() {
  int exitCode = 0;
  bool started = false;
  int number = runner_.wait(exitCode, started);
  auto ended = std::find_if(started_.begin(), started_.end(),
                            [&](const Started& s) { return !s.ended && s.number == number; });
  if (!started) {
    std::wstring path = ended->path;
    os::OutputLoss nothingHeld;
    runner_.writeOutput(number, nothingHeld);
    started_.erase(ended);
    // An interrupt came first: nothing starts any more.
    if (runner_.startError().empty() || runner_.interrupts().interrupted())
      return;
    if (running() == 0)
      return giveUp(path);
    waiting_.push_front(path);
    blocked_ = true;
    return;
  }
  blocked_ = false;
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
  if (started.exitCode != 0)
    logs_.failures.append(started.exitCode, started.path);
  os::OutputLoss loss;
  if (runner_.writeOutput(started.number, loss))
    return;
  const wchar_t* what = loss.what == os::OutputLoss::kNotRead       ? L"read"
                        : loss.what == os::OutputLoss::kNotHeld     ? L"hold"
                        : loss.what == os::OutputLoss::kNotReadBack ? L"read back"
                                                                    : L"write";
  os::writeError((boost::wformat(L"walkexec: cannot %s the output of the command for %s: %s\n") %
                  what % started.path % loss.reason)
                     .str());
  failed_ = true;
}

void Jobs::giveUp(const std::wstring& path) {
  os::writeError((boost::wformat(L"walkexec: cannot start the command for %s: %s\n") % path %
                  runner_.startError())
                     .str());
  logs_.jobs.append(-1, path);
  logs_.failures.append(-1, path);
  failed_ = true;
}
