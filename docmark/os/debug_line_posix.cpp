#include "debug_line.h"

#include <syslog.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "debug_line_testing.h"
#include "last_error.h"

namespace {

thread_local std::string lastDebugLine;

}  // namespace

void SendDebugLine(const char* format, ...) {
  lasterror::Keep keep;
  char buffer[256];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  syslog(LOG_DEBUG, "%s", buffer);
  lastDebugLine = buffer;
}

namespace debug_line_testing {

std::string LastDebugLine() {
  return lastDebugLine;
}

void ClearDebugLine() {
  lastDebugLine.clear();
}

}  // namespace debug_line_testing
