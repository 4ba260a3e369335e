#include "descriptor_budget.h"

#include <fcntl.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>

namespace os {

namespace {

// Descriptors kept for everything but the commands: the logs, the walk's
// directory, the null device, the starters' wake-up pipe.
const size_t kReservedDescriptors = 16;
// What one command takes while it starts: its two pipes and its process.
const size_t kDescriptorsPerCommand = 5;
// Above this limit descriptors are not counted: they are plenty.
const rlim_t kCountedLimit = 65536;

// The descriptors that the limit leaves beyond those open now (ours and
// those we were given); SIZE_MAX when there are plenty.
size_t freeDescriptors() {
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur > kCountedLimit)
    return SIZE_MAX;
  size_t open = 0;
  for (int fd = 0; fd < static_cast<int>(limit.rlim_cur); ++fd)
    if (fcntl(fd, F_GETFD) != -1)
      ++open;
  return static_cast<size_t>(limit.rlim_cur) - open;
}

}  // namespace

DescriptorBudget descriptorBudget(unsigned jobs) {
  size_t free = freeDescriptors();
  size_t forCommands = free > kReservedDescriptors ? free - kReservedDescriptors : 0;
  size_t commands = std::min<size_t>(jobs, forCommands / kDescriptorsPerCommand);
  size_t forCommandsAtOnce = kDescriptorsPerCommand * commands;
  size_t spillFiles = free == SIZE_MAX                  ? SIZE_MAX
                      : forCommands > forCommandsAtOnce ? forCommands - forCommandsAtOnce
                                                        : 0;
  return {static_cast<unsigned>(commands), spillFiles};
}

}  // namespace os
