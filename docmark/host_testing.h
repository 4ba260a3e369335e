// Lets tests observe what the platform layer sends to the debugger output
// (POSIX build; the tests do not run on Windows).
#ifndef DOCMARK_HOST_TESTING_H
#define DOCMARK_HOST_TESTING_H

#include <string>

namespace host_testing {

// The last line SendDebugLine sent, or empty when none was sent since the
// last ClearDebugLine.
std::string LastDebugLine();
void ClearDebugLine();

}  // namespace host_testing

#endif
