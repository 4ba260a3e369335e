// The commands that run several at a time. Each writes into two pipes of
// its own, read as they fill so that no command waits on us; a command has
// ended when its process has exited, and its output is what its pipes held
// by then.
#ifndef WALKEXEC_OS_JOB_TABLE_H
#define WALKEXEC_OS_JOB_TABLE_H

#include <signal.h>
#include <sys/types.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "descriptor_budget.h"
#include "held_output.h"
#include "shell_words.h"

namespace os {

// A command of several at a time: what it wrote into its pipes, and what is
// watched until it ends: the pipes' read ends, closed at end of file, and a
// descriptor of the process that is readable once it has exited (none on
// kernels without them, or with no descriptor left: the process is then
// looked at now and then).
struct Job {
  explicit Job(FileBudget& budget) : held{HeldOutput(budget), HeldOutput(budget)} {}
  std::string line;
  // Until its start has been tried; the fields below are the starter's
  // until then.
  std::atomic<bool> starting{true};
  int startError = 0;  // Why it did not start, if it did not.
  pid_t pid = -1;      // 0: an interrupt came first.
  bool direct = false;
  bool waited = false;
  bool ended = false;
  int status = 0;
  int watched[3] = {-1, -1, -1};  // Output, errors, process.
  HeldOutput held[2];
};

class JobTable {
 public:
  JobTable(Shell& shell, FileBudget& files) : shell_(shell), files_(files) {}
  ~JobTable();
  JobTable(const JobTable&) = delete;
  JobTable& operator=(const JobTable&) = delete;

  // A job for the line under the lowest free number, which it returns.
  int add(const std::string& line);
  Job& operator[](int number) { return *jobs_[number]; }
  // Forgets the job; its number is free again.
  void remove(int number) { jobs_[number].reset(); }

  // Starts the job with the null device as its input and its output and
  // errors held; the command gets `childMask` (null: the caller's). Any
  // thread may start a job, one thread each.
  void start(Job& job, const sigset_t* childMask);

  // A job not ended whose start failed for `error`; null when none did.
  Job* failedStart(int error);

  // Whether a job other than `job` has not ended.
  bool othersLive(const Job& job) const;

  // A job whose start has been tried and that has ended, started or not,
  // now marked ended; -1 when there is none yet.
  int takeEnded();

  // Waits for what the jobs' descriptors, and `wake` while a job is
  // starting, have to say; reads what the pipes hold and reaps what has
  // exited. `woken` says whether `wake` spoke. False when there was
  // nothing to wait for.
  bool pollOnce(int wake, bool& woken);

 private:
  void read(Job& job, int stream);
  static void drain(Job& job, int stream);
  static void reap(Job& job, int options);

  Shell& shell_;
  FileBudget& files_;
  std::vector<std::unique_ptr<Job>> jobs_;  // By number; null when free.
  int nullInput_ = -1;
};

}  // namespace os

#endif
