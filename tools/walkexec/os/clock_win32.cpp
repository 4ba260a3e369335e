#include "clock.h"

#include <windows.h>

namespace os {

unsigned long long systemTimeNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

}  // namespace os
