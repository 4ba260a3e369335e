// How the process takes interrupts while it runs commands. Signal handling
// is process-wide: one Interrupts at a time takes it over, and gives it
// back as it found it.
//
// A SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGUSR1 or SIGUSR2 (on Windows, in a run of several
// commands, a Ctrl-C or Ctrl-Break) never lets another command start; it
// ends the process by that signal at once while no command's results are
// pending, and otherwise once they are all written. A SIGPIPE no longer
// ends the process, so output that cannot be shown is dropped, and SIGCHLD
// is back to its default, so that every command's end is seen. Commands
// start with the other dispositions the process started with.
#ifndef WALKEXEC_OS_INTERRUPTS_H
#define WALKEXEC_OS_INTERRUPTS_H

#include <memory>

#ifndef _WIN32
#include "spawn.h"
#endif

namespace os {

class Interrupts {
 public:
  Interrupts();
  ~Interrupts();
  Interrupts(const Interrupts&) = delete;
  Interrupts& operator=(const Interrupts&) = delete;

  // A command's results are pending from before its start until they are
  // all written; an interrupt meanwhile waits for them.
  void resultsPending();
  void resultsWritten();

  // Whether an interrupt has stopped the run.
  bool interrupted() const;
  // Ends the process by the interrupt that stopped the run.
  [[noreturn]] void endProcess();

#ifndef _WIN32
  // Stops the run by `signal` unless something else stopped it first.
  void stopBy(int signal);
  // Whether our standard output is a pipe or socket whose reader has gone.
  static bool outputGone();
  // What every start of a command holds to while the run is ours.
  const SpawnRules& spawnRules() const;
#endif

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace os

#endif
