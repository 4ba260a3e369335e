// The runner on POSIX: one at a time, the line is started and waited for;
// several at a time, the jobs' table (job_table.h) starts each line, from a
// starter thread of its own (starter_pool.h) while there is one.
#include "command_runner.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "descriptor_budget.h"
#include "error_text.h"
#include "interrupts.h"
#include "job_table.h"
#include "shell_words.h"
#include "starter_pool.h"
#include "text.h"

namespace os {

// Destroyed from the last: the starters end before the jobs' table waits
// for what runs, and the interrupts are given back last of all.
struct CommandRunner::State {
  explicit State(unsigned jobs)
      : budget(descriptorBudget(jobs)),
        files(budget.spillFiles),
        shell(interrupts.spawnRules()),
        table(shell, files),
        pool(budget.jobs) {}

  const DescriptorBudget budget;
  FileBudget files;
  Interrupts interrupts;
  Shell shell;
  JobTable table;
  StarterPool pool;
  std::wstring startError;
  bool runPending = false;  // run()'s results are not written yet.
  bool startersPrepared = false;
  bool startersUsable = false;
  sigset_t commandMask;  // Ours as the first job came: the commands get it.

  int finish(pid_t child, bool direct);
  void prepareStarters();
  void startJob(Job& job);
  void retryStartsAlone();
  void result(Job& job, int& exitCode, bool& started);
};

CommandRunner::CommandRunner(unsigned jobs) : state_(new State(jobs)) {}

CommandRunner::~CommandRunner() = default;

// Waits for the child. A child killed by a signal is reported as the shell
// reports it when `direct` says that no shell stood between.
int CommandRunner::State::finish(pid_t child, bool direct) {
  int status = 0;
  if (waitInterruptible(child, &status, 0) != child)
    return -1;
  std::string report;
  int code = shellExitCode(status, direct, report);
  fwrite(report.data(), 1, report.size(), stderr);
  return code;
}

bool CommandRunner::run(const std::wstring& commandLine, int& exitCode) {
  State& s = *state_;
  fflush(stdout);
  fflush(stderr);
  bool direct = false;
  int error = 0;
  // Pending from before the start, so that an interrupt during it waits.
  s.interrupts.resultsPending();
  pid_t child = s.shell.start(encodeUtf8(commandLine), nullptr, nullptr, direct, error);
  if (child <= 0)
    s.interrupts.resultsWritten();
  // Nothing is pending: an interrupt has ended us already.
  if (child == 0)
    s.interrupts.endProcess();
  if (child < 0) {
    s.startError = errorText(error);
    return false;
  }
  s.runPending = true;
  exitCode = s.finish(child, direct);
  // Our standard output closed: the next command would die of it too.
  if (exitCode == 128 + SIGPIPE && Interrupts::outputGone())
    s.interrupts.stopBy(SIGPIPE);
  return true;
}

void CommandRunner::resultsWritten() {
  State& s = *state_;
  if (!s.runPending)
    return;
  s.runPending = false;
  s.interrupts.resultsWritten();
  if (s.interrupts.interrupted())
    s.interrupts.endProcess();
}

const std::wstring& CommandRunner::startError() const {
  return state_->startError;
}

unsigned CommandRunner::capacity() const {
  return state_->budget.jobs;
}

// What the starters read, learned before the first of them: the
// environment, and the mask that the commands get.
void CommandRunner::State::prepareStarters() {
  startersPrepared = true;
  shell.learnEnvironment();
  startersUsable = pthread_sigmask(SIG_SETMASK, nullptr, &commandMask) == 0;
}

// On a starter while one can be had, else here.
void CommandRunner::State::startJob(Job& job) {
  if (startersUsable && pool.run([this, &job] { table.start(job, &commandMask); }))
    return;
  table.start(job, nullptr);
}

int CommandRunner::start(const std::wstring& commandLine) {
  State& s = *state_;
  if (s.interrupts.interrupted())
    return kInterrupted;
  if (!s.startersPrepared)
    s.prepareStarters();
  int number = s.table.add(encodeUtf8(commandLine));
  s.interrupts.resultsPending();
  Job& job = s.table[number];
  if (job.starting)
    s.startJob(job);
  return number;
}

// The starters' threads count against the process limit as commands do:
// with nothing else running, a start that lacked a process is made again
// from our own thread, theirs gone, as one at a time.
void CommandRunner::State::retryStartsAlone() {
  if (pool.empty())
    return;
  Job* job = table.failedStart(EAGAIN);
  if (job && !table.othersLive(*job)) {
    pool.retire();
    table.start(*job, nullptr);
  }
}

void CommandRunner::State::result(Job& job, int& exitCode, bool& started) {
  started = job.pid > 0;
  if (!started) {
    exitCode = -1;
    startError = job.pid < 0 ? errorText(job.startError) : std::wstring();
    return;
  }
  std::string report;
  exitCode = job.waited ? shellExitCode(job.status, job.direct, report) : -1;
  job.held[1].append(report.data(), report.size());
}

int CommandRunner::wait(int& exitCode, bool& started) {
  State& s = *state_;
  for (;;) {
    s.retryStartsAlone();
    int number = s.table.takeEnded();
    if (number >= 0) {
      s.result(s.table[number], exitCode, started);
      return number;
    }
    bool woken = false;
    if (!s.table.pollOnce(s.pool.endedDescriptor(), woken))
      return -1;  // Nothing was started.
    if (woken)
      s.pool.drain();
  }
}

bool CommandRunner::writeOutput(int command, OutputLoss& loss) {
  State& s = *state_;
  bool outputClosed = false;
  bool whole = writeHeld(s.table[command].held, loss, outputClosed);
  if (outputClosed)
    s.interrupts.stopBy(SIGPIPE);
  s.table.remove(command);
  s.interrupts.resultsWritten();
  return whole;
}

Interrupts& CommandRunner::interrupts() {
  return state_->interrupts;
}

}  // namespace os
