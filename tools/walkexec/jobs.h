// The commands of a run: one at a time, as they come, or several at once,
// each one's output written whole when it ends, in the order they end or,
// kept in order, in the order they started. Failures go to the failure log
// as their output is written.
#ifndef WALKEXEC_JOBS_H
#define WALKEXEC_JOBS_H

#include <deque>
#include <string>

#include "command.h"
#include "system.h"

// The most commands at once that -j takes.
const unsigned kMaxJobs = 256;

class Jobs {
 public:
  Jobs(const std::wstring& command, FailureLog& log, unsigned jobs, bool keepOrder);
  Jobs(const Jobs&) = delete;
  Jobs& operator=(const Jobs&) = delete;

  // Runs the command for the file at `path`, or starts it and returns once
  // it runs. After an interrupt nothing starts: the commands running are
  // waited for, their results written, and the process ends by it.
  void run(const std::wstring& path);

  // Waits for every command started and writes its results; ends the
  // process by an interrupt that came meanwhile.
  void finish();

 private:
  struct Started {
    std::wstring path;
    int number;  // The runner's.
    bool ended;
    int exitCode;
  };

  void waitForOne();
  void write(const Started& started);

  const std::wstring& command_;
  FailureLog& log_;
  const unsigned jobs_;
  const bool keepOrder_;
  platform::CommandRunner runner_;
  std::deque<Started> started_;  // In the order they started; only unwritten ones.
};

#endif
