#include "interrupts.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace os {

namespace {

// Signal state is process-wide, so these are too. `pendingResults` counts
// the commands started whose results are not all written yet;
// `pendingInterrupt` is the signal that stops the run, read by the starters
// too. Both are lock-free, which a handler needs.
std::atomic<int> pendingResults(0);
std::atomic<int> pendingInterrupt(0);
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler sets them");

// In a handler, the signal is delivered again as soon as the handler
// returns.
void endBySignal(int signo) {
  signal(signo, SIG_DFL);
  raise(signo);
}

void stopRunBy(int signo) {
  int none = 0;
  pendingInterrupt.compare_exchange_strong(none, signo);
}

// While a command's results are pending an interrupt waits for them, as
// with system(), so that the commands see it first; otherwise it ends the
// run at once.
void onInterrupt(int signo) {
  if (pendingResults.load() != 0)
    stopRunBy(signo);
  else
    endBySignal(signo);
}

// A write to a closed pipe, or past the file size limit, then fails with
// EPIPE or EFBIG and is told. Caught rather than ignored: exec gives the
// commands the default back.
void onRefusedWrite(int) {}

// SIGHUP (a terminal or an ssh session gone) ends a run as SIGTERM does, and
// so do SIGUSR1 and SIGUSR2, which batch schedulers send ahead of a limit.
const int kInterrupts[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2};
const int kCaughtSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGPIPE, SIGXFSZ};
const int kCaughtCount = sizeof kCaughtSignals / sizeof kCaughtSignals[0];

}  // namespace

struct Interrupts::State {
  struct sigaction saved[kCaughtCount];  // As the process started, for kCaughtSignals.
  bool caught[kCaughtCount] = {};
  SpawnRules rules;  // The caught signals back at their default in the commands.
};

// A signal that cannot be caught (none can fail here but a bad number) is
// left as it was. Nothing of an earlier run is pending.
Interrupts::Interrupts() : state_(new State) {
  pendingResults = 0;
  pendingInterrupt = 0;
  // Ignored, SIGCHLD would let the system reap the commands before we see
  // how they ended.
  struct sigaction byDefault = {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  if (sigaction(SIGCHLD, &byDefault, nullptr) != 0)
    perror("walkexec: SIGCHLD");
  for (int i = 0; i < kCaughtCount; ++i) {
    int signo = kCaughtSignals[i];
    // A signal ignored from the start stays ignored, for us and the commands.
    if (sigaction(signo, nullptr, &state_->saved[i]) != 0 || state_->saved[i].sa_handler == SIG_IGN)
      continue;
    struct sigaction action = {};
    bool write = signo == SIGPIPE || signo == SIGXFSZ;
    action.sa_handler = write ? onRefusedWrite : onInterrupt;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    state_->caught[i] = sigaction(signo, &action, nullptr) == 0;
    if (state_->caught[i])
      state_->rules.defaults.push_back(signo);
  }
  sigemptyset(&state_->rules.interrupts);
  for (int signo : kInterrupts)
    sigaddset(&state_->rules.interrupts, signo);
  state_->rules.stop = &pendingInterrupt;
}

// Back as they were: they were valid then.
Interrupts::~Interrupts() {
  for (int i = 0; i < kCaughtCount; ++i)
    if (state_->caught[i])
      sigaction(kCaughtSignals[i], &state_->saved[i], nullptr);
}

void Interrupts::resultsPending() {
  ++pendingResults;
}

void Interrupts::resultsWritten() {
  --pendingResults;
}

bool Interrupts::interrupted() const {
  return pendingInterrupt.load() != 0;
}

void Interrupts::stopBy(int signal) {
  stopRunBy(signal);
}

// Blocked or not (a starter's mask is not ours), the signal ends us.
void Interrupts::endProcess() {
  int signo = pendingInterrupt.load();
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signo);
  endBySignal(signo);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  _exit(128 + signo);  // Not reached: the signal ends us first.
}

bool Interrupts::outputGone() {
  struct pollfd output = {1, POLLOUT, 0};
  return poll(&output, 1, 0) == 1 && (output.revents & (POLLERR | POLLHUP)) != 0;
}

const SpawnRules& Interrupts::spawnRules() const {
  return state_->rules;
}

}  // namespace os
