// The commands of a run: one at a time, as they come, or several at once,
// each one's output written whole when it ends, in the order they end or,
// kept in order, in the order they started. A command runs for one file,
// or, with "@paths", for a batch of files. Failures go to the failure log
// as their output is written; every file goes to the job log as its
// command ends. A command that cannot start for want of what a start takes
// waits for a running one to end; one that cannot start with none running
// runs as one at a time does, and, when it cannot start that way either,
// is given up, told and logged with exit code -1.
#ifndef WALKEXEC_JOBS_H
#define WALKEXEC_JOBS_H

#include <deque>
#include <set>
#include <string>
#include <vector>

#include "command.h"
#include "command_runner.h"
#include "file_id.h"
#include "logs.h"

// The most commands at once that -j takes.
const unsigned kMaxJobs = 256;

class Jobs {
 public:
  Jobs(const CommandTemplate& command, RunLogs& logs, unsigned jobs, bool keepOrder);
  Jobs(const Jobs&) = delete;
  Jobs& operator=(const Jobs&) = delete;

  // Runs the command for the file at `path`, or starts it and returns once
  // it runs, or keeps the file for its batch. After an interrupt nothing
  // starts: the commands running are waited for, their results written,
  // and the process ends by it.
  void add(const std::wstring& path);

  // Runs the last batch, waits for every command started and writes its
  // results; ends the process by an interrupt that came meanwhile.
  void finish();

  // Whether a command was given up or some of its output lost.
  bool failed() const { return failed_; }
  // Whether a command ended with an exit code other than 0, or was given up.
  bool commandFailed() const { return commandFailed_; }

 private:
  // The files of one command line.
  struct Files {
    std::vector<std::wstring> paths;
    std::vector<os::FileId> ids;  // Known ones; none when one runs at a time.
  };
  struct Started {
    Files files;
    int number;  // The runner's.
    bool ended;
    int exitCode;
  };

  void submit(Files files);
  void runAlone(const Files& files);
  size_t running() const;
  bool roomFor(const Files& files) const;
  void startWaiting();
  void waitForOne();
  void tookUp(std::deque<Started>::iterator ended, int exitCode);
  void log(const Files& files, int exitCode, ExitLog& exitLog);
  void write(const Started& started);
  void giveUp(const Files& files);
  std::wstring describe(const Files& files) const;

  const CommandTemplate& command_;
  RunLogs& logs_;
  const unsigned jobs_;
  const bool keepOrder_;
  os::CommandRunner runner_;
  const bool oneAtATime_;
  const size_t room_;                  // Commands at once: the runner's capacity.
  Files batch_;                        // Files kept for the next batch's line.
  size_t batchLength_;                 // The length of that line.
  std::deque<Started> started_;        // In the order they started; only unwritten ones.
  std::deque<Files> waiting_;          // To start: those that could not start first.
  std::set<os::FileId> runningFiles_;  // Of the commands running.
  bool blocked_ = false;               // A start failed, and no command has ended since.
  bool failed_ = false;
  bool commandFailed_ = false;
};

#endif
