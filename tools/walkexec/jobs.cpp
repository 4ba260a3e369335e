#include "jobs.h"

#include <algorithm>

#include <boost/format.hpp>

#include "console.h"
#include "text.h"

namespace {
// Kept in order, results that wait for an earlier command are held, up to
// this many per job; then nothing starts until it ends, which bounds memory.
const size_t kHeldPerJob = 4;
}  // namespace

// Where the descriptors leave room for no command's pipes, commands run one
// at a time.
Jobs::Jobs(const CommandTemplate& command, RunLogs& logs, unsigned jobs, bool keepOrder)
    : command_(command),
      logs_(logs),
      jobs_(jobs),
      keepOrder_(keepOrder),
      runner_(jobs),
      oneAtATime_(jobs == 1 || runner_.capacity() == 0),
      room_(runner_.capacity()),
      batchLength_(command.emptyLength()) {}

// A batch's line takes paths while they fit, and at least one.
void Jobs::add(const std::wstring& path) {
  if (!logs_.succeeded.empty() && logs_.succeeded.count(os::utf16leBytes(path)))
    return;
  if (!command_.batches())
    return submit(Files{{path}, {}});
  size_t length = command_.lengthOf(path);
  if (!batch_.paths.empty() && batchLength_ + length > command_.longest()) {
    submit(std::move(batch_));
    batch_ = Files();
    batchLength_ = command_.emptyLength();
  }
  batch_.paths.push_back(path);
  batchLength_ += length;
}

void Jobs::finish() {
  if (!batch_.paths.empty())
    submit(std::move(batch_));
  batch_ = Files();
  while (!waiting_.empty() || !started_.empty()) {
    if (!waiting_.empty())
      startWaiting();
    else
      waitForOne();
  }
  if (runner_.interrupts().interrupted())
    runner_.interrupts().endProcess();
}

// Several at a time, each file is known by what it is, so that no two
// commands run at once for the same file, whatever its paths.
void Jobs::submit(Files files) {
  if (oneAtATime_)
    return runAlone(files);
  for (const std::wstring& path : files.paths) {
    os::FileId id;
    if (os::fileId(path, id))
      files.ids.push_back(id);
  }
  waiting_.push_back(std::move(files));
  startWaiting();
}

void Jobs::runAlone(const Files& files) {
  int exitCode = 0;
  if (!runner_.run(command_.lineFor(files.paths), exitCode))
    return giveUp(files);
  log(files, exitCode, logs_.jobs);
  if (exitCode != 0)
    log(files, exitCode, logs_.failures);
  commandFailed_ = commandFailed_ || exitCode != 0;
  runner_.resultsWritten();
}

size_t Jobs::running() const {
  return std::count_if(started_.begin(), started_.end(), [](const Started& s) { return !s.ended; });
}

// A job free, not too many results held, none of the files in a command
// running (a file matching two patterns, reached through a link, or under
// two start paths), and after a start that failed, a command ended since
// or none left to wait for.
bool Jobs::roomFor(const Files& files) const {
  size_t now = running();
  if (now >= room_ || started_.size() >= jobs_ * kHeldPerJob || (blocked_ && now > 0))
    return false;
  return std::none_of(files.ids.begin(), files.ids.end(),
                      [&](const os::FileId& id) { return runningFiles_.count(id) != 0; });
}

void Jobs::startWaiting() {
  while (!waiting_.empty()) {
    if (!roomFor(waiting_.front())) {
      waitForOne();
      continue;
    }
    blocked_ = false;
    int number = runner_.start(command_.lineFor(waiting_.front().paths));
    if (number == os::CommandRunner::kInterrupted) {
      while (!started_.empty())
        waitForOne();
      runner_.interrupts().endProcess();
    }
    runningFiles_.insert(waiting_.front().ids.begin(), waiting_.front().ids.end());
    started_.push_back({std::move(waiting_.front()), number, false, 0});
    waiting_.pop_front();
  }
}

// A command that could not start goes first in line again while others
// run, to start once one has ended; with none running it runs alone.
void Jobs::waitForOne() {
  int exitCode = 0;
  bool started = false;
  int number = runner_.wait(exitCode, started);
  auto ended = std::find_if(started_.begin(), started_.end(),
                            [&](const Started& s) { return !s.ended && s.number == number; });
  for (const os::FileId& id : ended->files.ids)
    runningFiles_.erase(id);
  if (started)
    return tookUp(ended, exitCode);
  Files files = std::move(ended->files);
  os::OutputLoss nothingHeld;
  runner_.writeOutput(number, nothingHeld);
  started_.erase(ended);
  // An interrupt came first: nothing starts any more.
  if (runner_.startError().empty() || runner_.interrupts().interrupted())
    return;
  if (running() == 0)
    return runAlone(files);
  waiting_.push_front(std::move(files));
  blocked_ = true;
}

// The job log hears of a command as soon as it ends, so that a run cut
// short while its output waits does not run it again.
void Jobs::tookUp(std::deque<Started>::iterator ended, int exitCode) {
  blocked_ = false;
  ended->ended = true;
  ended->exitCode = exitCode;
  log(ended->files, exitCode, logs_.jobs);
  commandFailed_ = commandFailed_ || exitCode != 0;
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

void Jobs::log(const Files& files, int exitCode, ExitLog& exitLog) {
  for (const std::wstring& path : files.paths)
    exitLog.append(exitCode, path);
}

// The log lines first: once the output is written, an interrupt may end
// the process.
void Jobs::write(const Started& started) {
  if (started.exitCode != 0)
    log(started.files, started.exitCode, logs_.failures);
  os::OutputLoss loss;
  if (runner_.writeOutput(started.number, loss))
    return;
  const wchar_t* what = loss.what == os::OutputLoss::kNotRead       ? L"read"
                        : loss.what == os::OutputLoss::kNotHeld     ? L"hold"
                        : loss.what == os::OutputLoss::kNotReadBack ? L"read back"
                                                                    : L"write";
  os::writeError((boost::wformat(L"walkexec: cannot %s the output of the command for %s: %s\n") %
                  what % describe(started.files) % loss.reason)
                     .str());
  failed_ = true;
}

void Jobs::giveUp(const Files& files) {
  os::writeError((boost::wformat(L"walkexec: cannot start the command for %s: %s\n") %
                  describe(files) % runner_.startError())
                     .str());
  log(files, -1, logs_.jobs);
  log(files, -1, logs_.failures);
  failed_ = true;
  commandFailed_ = true;
}

// A file's path; a batch by its size and first path.
std::wstring Jobs::describe(const Files& files) const {
  if (files.paths.size() == 1)
    return files.paths.front();
  return (boost::wformat(L"the %u files from %s") % files.paths.size() % files.paths.front()).str();
}
