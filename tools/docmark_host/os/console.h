// The program's standard output and standard error.
#ifndef DOCMARK_HOST_OS_CONSOLE_H
#define DOCMARK_HOST_OS_CONSOLE_H

#include <string>

enum class Stream { kOut, kErr };

// Whether standard error is a terminal, where a progress line can be shown.
bool ErrorIsTerminal();

// Everything the host prints goes through here, a whole line or more at a
// time, and is flushed at once, so that nothing waits in a buffer when the
// program is stopped.
void WriteText(Stream stream, const std::string& text);

#endif
