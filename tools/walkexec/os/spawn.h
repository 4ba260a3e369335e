// The start of one child on POSIX, and the wait for it.
#ifndef WALKEXEC_OS_SPAWN_H
#define WALKEXEC_OS_SPAWN_H

#include <signal.h>
#include <sys/types.h>

#include <atomic>
#include <string>
#include <vector>

namespace os {

// What every start of the runner holds to: the signals a child gets back
// at their default, and what stops a start: `stop` set, or one of
// `interrupts` pending.
struct SpawnRules {
  std::vector<int> defaults;
  sigset_t interrupts;
  const std::atomic<int>* stop = nullptr;
};

// Starts the first of `programs` that the system will run, with `stdio` as
// its standard input, output and error (ours when null) and `childMask` as
// its signal mask (the caller's when null). Returns its process id; 0 when
// a stop has come, and then nothing runs; -1 when it did not start, with
// `error` the last reason. vfork shares our memory until the child's exec,
// which makes it the cheapest start and lets the child tell us why its
// exec failed, or that a stop came after our last look, which it sees in
// that memory. Signals stay blocked from our look until the child has the
// defaults back, so that none of our handlers runs in it and a stop that
// comes during the start reaches the child too or finds it not yet made.
pid_t spawnChild(const SpawnRules& rules, const std::vector<std::string>& programs,
                 char* const argv[], char* const envp[], const int* stdio,
                 const sigset_t* childMask, int& error);

// waitpid, again when a signal cuts it short.
pid_t waitInterruptible(pid_t child, int* status, int options);

}  // namespace os

#endif
