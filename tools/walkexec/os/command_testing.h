// What tests alone use of the command runner on POSIX.
#ifndef PLATFORM_SYSTEM_COMMAND_TESTING_H
#define PLATFORM_SYSTEM_COMMAND_TESTING_H

namespace platform {
namespace testing {

// Makes every start of a command wait that long before its process is
// made, so that a test can stop the run in the middle of a start.
void delayStarts(unsigned milliseconds);

}  // namespace testing
}  // namespace platform

#endif
