// Threads that start commands, so that starts overlap each other and our
// reading and waiting: a start holds its thread until the command's exec.
// They are made as the starts need them and at most a given number, since
// threads count against the process limit as commands do, and each runs
// with every signal blocked, so that our handlers run on our thread alone.
#ifndef WALKEXEC_OS_STARTER_POOL_H
#define WALKEXEC_OS_STARTER_POOL_H

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace os {

class StarterPool {
 public:
  explicit StarterPool(unsigned most) : most_(most) {}
  ~StarterPool();
  StarterPool(const StarterPool&) = delete;
  StarterPool& operator=(const StarterPool&) = delete;

  // Runs the task on a starter, making one when none is idle. False when
  // there is none (none could be made): the caller then runs it itself.
  bool run(std::function<void()> task);

  // Readable once a task has ended since the last drain(); -1 before the
  // first task.
  int endedDescriptor() const { return wake_[0]; }
  void drain();

  // Ends the starters, once their tasks are done. Later tasks make new ones.
  void retire();
  bool empty() const { return starters_.empty(); }

 private:
  bool makeStarter();
  void starterLoop();

  const unsigned most_;
  std::vector<std::thread> starters_;
  std::mutex lock_;  // Guards what follows, which the starters share.
  std::condition_variable queuedOne_;
  std::deque<std::function<void()>> queued_;
  unsigned idle_ = 0;  // Starters waiting for a task.
  bool stopping_ = false;
  int wake_[2] = {-1, -1};
};

}  // namespace os

#endif
