// The program's standard output and standard error.
#ifndef DOCMARK_HOST_OS_CONSOLE_H
#define DOCMARK_HOST_OS_CONSOLE_H

#include <string>

enum class Stream { kOut, kErr };

// Whether the stream is a terminal: a person reads it, and a progress line
// can be shown.
bool IsTerminal(Stream stream);

// Everything the host prints goes through here, a whole line or more at a
// time, and is flushed at once, so that nothing waits in a buffer when the
// program is stopped.
void WriteText(Stream stream, const std::string& text);

#endif
