// The line docmark sends to the debugger output when the PDF library lacks a
// function table. It is never shown to the user.
#ifndef DOCMARK_OS_DEBUG_LINE_H
#define DOCMARK_OS_DEBUG_LINE_H

// Formats into a 256-byte buffer and sends the line to the debugger output
// (on POSIX to syslog at debug priority, and the test seam keeps the calling
// thread's last line).
void SendDebugLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

#endif
