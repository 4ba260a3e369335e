#include "clock.h"

#include <time.h>

namespace os {

// CLOCK_REALTIME cannot fail: its id is valid and the struct ours.
unsigned long long systemTimeNow() {
  const unsigned long long kSecondsFrom1601To1970 = 11644473600ULL;
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return (static_cast<unsigned long long>(now.tv_sec) + kSecondsFrom1601To1970) * 10000000ULL +
         static_cast<unsigned long long>(now.tv_nsec) / 100;
}

}  // namespace os
