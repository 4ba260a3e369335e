#include "spawn.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "spawn_testing.h"

namespace os {

namespace {

// What a child tells its parent in `error` when a stop came before its
// exec: it has run nothing.
const int kStoppedFirst = -1;

// How long a start waits before its vfork; only tests set it.
std::atomic<unsigned> startDelay(0);

// What the child makes of its start before the exec: the defaults of the
// signals, and its standard descriptors. A descriptor already in its place
// keeps only its close-on-exec flag.
bool prepareChild(const SpawnRules& rules, const int* stdio) {
  struct sigaction byDefault = {};
  byDefault.sa_handler = SIG_DFL;
  for (int signo : rules.defaults)
    if (sigaction(signo, &byDefault, nullptr) != 0)
      return false;
  for (int fd = 0; stdio && fd < 3; ++fd) {
    if (stdio[fd] == fd ? fcntl(fd, F_SETFD, 0) != 0 : dup2(stdio[fd], fd) != fd)
      return false;
  }
  return true;
}

// In the child of a vfork: execs the first of `programs` that the system
// will run, or tells why none would run in `error`, which it shares with
// its parent.
[[noreturn]] void execChild(const SpawnRules& rules, const std::vector<std::string>& programs,
                            char* const argv[], char* const envp[], const int* stdio,
                            const sigset_t* mask, volatile int& error) {
  if (rules.stop->load() != 0) {
    error = kStoppedFirst;
    _exit(127);
  }
  if (prepareChild(rules, stdio) && sigprocmask(SIG_SETMASK, mask, nullptr) == 0) {
    for (const std::string& program : programs) {
      execve(program.c_str(), argv, envp);
      // The shell goes on past these; any other failure is the shell's to tell.
      if (errno != ENOENT && errno != ENOTDIR && errno != EACCES)
        break;
    }
  }
  error = errno != 0 ? errno : ENOEXEC;
  _exit(127);
}

bool stopping(const SpawnRules& rules, const sigset_t& pending) {
  if (rules.stop->load() != 0)
    return true;
  for (int signo = 1; signo < NSIG; ++signo)
    if (sigismember(&rules.interrupts, signo) == 1 && sigismember(&pending, signo) == 1)
      return true;
  return false;
}

}  // namespace

void testing::delayStarts(unsigned milliseconds) {
  startDelay = milliseconds;
}

pid_t spawnChild(const SpawnRules& rules, const std::vector<std::string>& programs,
                 char* const argv[], char* const envp[], const int* stdio,
                 const sigset_t* childMask, int& error) {
  sigset_t all, old, pending;
  sigfillset(&all);
  error = pthread_sigmask(SIG_SETMASK, &all, &old);
  if (error != 0)
    return -1;
  // The mask we had comes back unchecked: it cannot fail.
  if (sigpending(&pending) != 0) {
    error = errno;
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return -1;
  }
  if (stopping(rules, pending)) {
    // Unblocked, an interrupt is handled: at once when nothing is pending.
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return 0;
  }
  if (unsigned delay = startDelay.load()) {
    const struct timespec pause = {static_cast<time_t>(delay / 1000),
                                   static_cast<long>(delay % 1000) * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
  volatile int childError = 0;
  pid_t child = vfork();
  if (child == 0)
    execChild(rules, programs, argv, envp, stdio, childMask ? childMask : &old, childError);
  error = child < 0 ? errno : childError;
  if (child > 0 && childError != 0) {
    waitInterruptible(child, nullptr, 0);
    child = childError == kStoppedFirst ? 0 : -1;
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return child;
}

pid_t waitInterruptible(pid_t child, int* status, int options) {
  pid_t waited;
  while ((waited = waitpid(child, status, options)) < 0 && errno == EINTR) {
  }
  return waited;
}

}  // namespace os
