// The clock of the progress line.
#ifndef WALKEXEC_OS_CLOCK_H
#define WALKEXEC_OS_CLOCK_H

namespace os {

// System time in 100-ns units since 1601-01-01 UTC.
unsigned long long systemTimeNow();

}  // namespace os

#endif
