// What tests alone use of the starts of commands on POSIX.
#ifndef WALKEXEC_OS_SPAWN_TESTING_H
#define WALKEXEC_OS_SPAWN_TESTING_H

namespace os {
namespace testing {

// Makes every start of a command wait that long before its process is
// made, so that a test can stop the run in the middle of a start.
void delayStarts(unsigned milliseconds);

}  // namespace testing
}  // namespace os

#endif
