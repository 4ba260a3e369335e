#include "descriptor_budget.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>

namespace {

// Under a real descriptor limit, in a child with only its standard
// descriptors open: fewer commands at once as the limit falls, none where
// one would not fit, and temporary files only from what the commands leave.
TEST(DescriptorBudget, FollowsTheDescriptorLimit) {
  struct Case {
    rlim_t limit;
    unsigned jobs;
    size_t spillFiles;
  };
  // Three open, sixteen kept for the run, five a command.
  const Case cases[] = {
      {3 + 16 + 5 * 8 + 10, 8, 10}, {3 + 16 + 5 * 3 + 4, 3, 4}, {3 + 16 + 4, 0, 4}};
  pid_t child = fork();
  if (child == 0) {
    for (int fd = 3; fd < 4096; ++fd)
      close(fd);
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
      _exit(10);
    int failures = 0;
    for (const Case& c : cases) {
      struct rlimit lower = {c.limit, limit.rlim_max};
      if (setrlimit(RLIMIT_NOFILE, &lower) != 0)
        _exit(11);
      os::DescriptorBudget budget = os::descriptorBudget(8);
      failures += budget.jobs != c.jobs || budget.spillFiles != c.spillFiles;
    }
    // Plenty are not counted.
    struct rlimit plenty = {limit.rlim_max, limit.rlim_max};
    if (limit.rlim_max > 65536 && setrlimit(RLIMIT_NOFILE, &plenty) == 0) {
      os::DescriptorBudget budget = os::descriptorBudget(8);
      failures += budget.jobs != 8 || budget.spillFiles != SIZE_MAX;
    }
    _exit(failures);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
