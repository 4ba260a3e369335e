// What /bin/sh would make of a command line and of a command's end, for
// the lines that walkexec starts without it.
#ifndef PLATFORM_SYSTEM_SHELL_WORDS_H
#define PLATFORM_SYSTEM_SHELL_WORDS_H

#include <string>
#include <vector>

namespace platform {

// The words of a line that needs nothing of the shell: blanks between
// words, and in them only plain characters and single-quoted text (the
// quoted paths, '\'' included), which the shell takes literally; no '=' in
// the first word (an assignment), and a first word that is no keyword or
// builtin of the shell. False for anything else.
bool plainWords(const std::string& line, std::vector<std::string>& words);

// The exit code of a command that ended with the wait status `status`, as
// the shell reports it: 128+N for signal N. When `direct` says that no
// shell stood between, a signal that killed the command is told as the
// shell would tell it, in `report` (none for SIGINT and SIGPIPE).
int shellExitCode(int status, bool direct, std::string& report);

}  // namespace platform

#endif
