#include "starter_pool.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace os {

StarterPool::~StarterPool() {
  retire();
  for (int fd : wake_)
    if (fd >= 0)
      close(fd);
}

// Queues the task, making a starter when none is idle.
bool StarterPool::run(std::function<void()> task) {
  if (wake_[0] < 0 && pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
    return false;
  bool idleOne;
  {
    std::lock_guard<std::mutex> guard(lock_);
    idleOne = idle_ > queued_.size();
  }
  if (!idleOne && starters_.size() < most_)
    makeStarter();
  if (starters_.empty())
    return false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    queued_.push_back(std::move(task));
  }
  queuedOne_.notify_one();
  return true;
}

void StarterPool::drain() {
  char bytes[256];
  while (wake_[0] >= 0 && read(wake_[0], bytes, sizeof bytes) > 0) {
  }
}

// Only while no task is queued: the starters end and are joined.
void StarterPool::retire() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  queuedOne_.notify_all();
  for (std::thread& starter : starters_)
    starter.join();
  starters_.clear();
  std::lock_guard<std::mutex> guard(lock_);
  stopping_ = false;
}

// False when the system has no thread to give (for want of processes,
// memory).
bool StarterPool::makeStarter() {
  sigset_t all, old;
  sigfillset(&all);
  if (pthread_sigmask(SIG_SETMASK, &all, &old) != 0)
    return false;
  bool made = true;
  try {
    starters_.emplace_back(&StarterPool::starterLoop, this);
  } catch (const std::system_error&) {
    made = false;
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);  // The mask we had: it cannot fail.
  return made;
}

void StarterPool::starterLoop() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock<std::mutex> guard(lock_);
      ++idle_;
      queuedOne_.wait(guard, [this] { return stopping_ || !queued_.empty(); });
      --idle_;
      if (stopping_)
        return;
      task = std::move(queued_.front());
      queued_.pop_front();
    }
    task();
    // A full pipe already holds a byte that wakes the caller.
    while (write(wake_[1], "", 1) < 0 && errno == EINTR) {
    }
  }
}

}  // namespace os
