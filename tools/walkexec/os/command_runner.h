// Runs command lines through the command interpreter, one at a time with
// our standard handles, or several at a time with their output held. On
// POSIX a line that needs nothing of the shell starts its program
// directly, as the shell would start it. While it exists it holds the
// process's interrupts (interrupts.h).
#ifndef WALKEXEC_OS_COMMAND_RUNNER_H
#define WALKEXEC_OS_COMMAND_RUNNER_H

#include <memory>
#include <string>

#include "held_output.h"
#include "interrupts.h"

namespace os {

class CommandRunner {
 public:
  // What start() returns when an interrupt has come.
  static const int kInterrupted = -1;

  // `jobs` is the most commands that will run at once.
  explicit CommandRunner(unsigned jobs);
  ~CommandRunner();
  CommandRunner(const CommandRunner&) = delete;
  CommandRunner& operator=(const CommandRunner&) = delete;

  // One at a time: flushes our own output, runs the line with our standard
  // handles and gives its exit code: 128+N for a command killed by signal
  // N on POSIX. False, with startError() saying why, when nothing could be
  // started. Its results stay pending until resultsWritten().
  bool run(const std::wstring& commandLine, int& exitCode);
  // Ends the process by an interrupt that came while run() ran.
  void resultsWritten();

  // Several at a time: starts the line with the null device as its input
  // and its output and errors held, or has it started. Returns the
  // command's number; kInterrupted when an interrupt has come, and then
  // starts nothing.
  int start(const std::wstring& commandLine);

  // Waits until one of the commands given to start() has ended; returns its
  // number and its exit code, as run() gives it. `started` is false for a
  // command that did not start: startError() says why (the system lacked
  // what a start takes: descriptors, processes, memory), or is empty when
  // an interrupt came first.
  int wait(int& exitCode, bool& started);

  // Why the last command that did not start did not.
  const std::wstring& startError() const;

  // How many commands may run at once with their output held
  // (descriptor_budget.h); none where the descriptors would not suffice.
  unsigned capacity() const;

  // Writes what an ended command printed, its output to standard output
  // and its errors to standard error, and forgets it (a command that did
  // not start too). Its results are then all written. False, with what was
  // lost, when some of its output could not be held, read back or written.
  // Standard output closed (a pipe whose reader has gone) loses nothing
  // more: it stops the run as an interrupt does, on POSIX by SIGPIPE.
  bool writeOutput(int command, OutputLoss& loss);

  // Whether an interrupt has come, and the end by it, which waits for
  // every started command's results to be written.
  Interrupts& interrupts();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace os

#endif
