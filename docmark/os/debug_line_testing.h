// Lets tests observe what docmark sends to the debugger output (POSIX build;
// the tests do not run on Windows).
#ifndef DOCMARK_OS_DEBUG_LINE_TESTING_H
#define DOCMARK_OS_DEBUG_LINE_TESTING_H

#include <string>

namespace debug_line_testing {

// The last line SendDebugLine sent, or empty when none was sent since the
// last ClearDebugLine.
std::string LastDebugLine();
void ClearDebugLine();

}  // namespace debug_line_testing

#endif
