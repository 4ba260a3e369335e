#include "starter_pool.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>

#include <atomic>
#include <set>

namespace {

// Every task runs, on no more starters than allowed and never on the
// caller's thread, with every signal blocked; each end wakes the caller.
TEST(StarterPool, RunsEveryTaskOnItsOwnThreadsAndTellsEachEnd) {
  const int kTasks = 8;
  os::StarterPool pool(2);
  std::mutex lock;
  std::set<std::thread::id> threads;
  std::atomic<int> done(0), unblocked(0);
  auto task = [&] {
    sigset_t mask;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    if (sigismember(&mask, SIGINT) != 1 || sigismember(&mask, SIGTERM) != 1)
      ++unblocked;
    {
      std::lock_guard<std::mutex> guard(lock);
      threads.insert(std::this_thread::get_id());
    }
    usleep(2000);
    ++done;
  };
  for (int i = 0; i < kTasks; ++i)
    ASSERT_TRUE(pool.run(task));
  while (done.load() < kTasks) {
    struct pollfd ended = {pool.endedDescriptor(), POLLIN, 0};
    ASSERT_EQ(poll(&ended, 1, 10 * 1000), 1) << done.load() << " tasks told";
    pool.drain();
  }
  EXPECT_LE(threads.size(), 2u);
  EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
  EXPECT_EQ(unblocked.load(), 0);

  pool.retire();
  EXPECT_TRUE(pool.empty());
  ASSERT_TRUE(pool.run(task));
  struct pollfd ended = {pool.endedDescriptor(), POLLIN, 0};
  ASSERT_EQ(poll(&ended, 1, 10 * 1000), 1);
  EXPECT_EQ(done.load(), kTasks + 1);
}

}  // namespace
