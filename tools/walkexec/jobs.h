// The commands of a run: one at a time, as they come, or several at once,
// each one's output written whole when it ends, in the order they end or,
// kept in order, in the order they started. Failures go to the failure log
// as their output is written; every command goes to the job log as it
// ends. A command that cannot start for want of what a start takes waits
// for a running one to end; one that cannot start with none running is
// given up, told and logged with exit code -1.
#ifndef WALKEXEC_JOBS_H
#define WALKEXEC_JOBS_H

#include <deque>
#include <string>

#include "command_runner.h"
#include "logs.h"

// The most commands at once that -j takes.
const unsigned kMaxJobs = 256;

class Jobs {
 public:
  Jobs(const std::wstring& command, RunLogs& logs, unsigned jobs, bool keepOrder);
  Jobs(const Jobs&) = delete;
  Jobs& operator=(const Jobs&) = delete;

  // Runs the command for the file at `path`, or starts it and returns once
  // it runs. After an interrupt nothing starts: the commands running are
  // waited for, their results written, and the process ends by it.
  void run(const std::wstring& path);

  // Waits for every command started and writes its results; ends the
  // process by an interrupt that came meanwhile.
  void finish();

  // Whether a command was given up or some of its output lost.
  bool failed() const { return failed_; }

 private:
  struct Started {
    std::wstring path;
    int number;  // The runner's.
    bool ended;
    int exitCode;
  };

  size_t running() const;
  bool roomFor(const std::wstring& path) const;
  void startWaiting();
  void waitForOne();
  void write(const Started& started);
  void giveUp(const std::wstring& path);

  const std::wstring& command_;
  RunLogs& logs_;
  const unsigned jobs_;
  const bool keepOrder_;
  os::CommandRunner runner_;
  const size_t room_;                 // Commands at once: the runner's capacity.
  std::deque<Started> started_;       // In the order they started; only unwritten ones.
  std::deque<std::wstring> waiting_;  // To start: those that could not start first.
  bool blocked_ = false;              // A start failed, and no command has ended since.
  bool failed_ = false;
};

#endif
