// What /bin/sh would make of a command line and of a command's end, for
// the lines that walkexec starts without it, and the start of a line
// without the shell or through it.
#ifndef WALKEXEC_OS_SHELL_WORDS_H
#define WALKEXEC_OS_SHELL_WORDS_H

#include <signal.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "spawn.h"

namespace os {

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

// Starts command lines: the line's program itself when the line needs no
// shell, found as the shell finds it and with the environment the shell
// gives its commands, which saves a shell per file; every other line
// through /bin/sh -c.
class Shell {
 public:
  explicit Shell(const SpawnRules& rules) : rules_(rules) {}

  // Asks the shell its environment and PATH, once; false when they cannot
  // be known, and then every line goes through the shell. Starts on other
  // threads read what it learned.
  bool learnEnvironment();

  // Starts the line, as spawnChild() starts a program; `direct` says
  // whether it started without the shell. The program's start falls back
  // to the shell, which also says why it could not start one, in its own
  // words, unless the system lacked what a start takes.
  pid_t start(const std::string& line, const int* stdio, const sigset_t* childMask, bool& direct,
              int& error);

 private:
  std::vector<std::string> programs(const std::string& name) const;

  const SpawnRules& rules_;
  enum { kUnknown, kKnown, kUnavailable } environmentState_ = kUnknown;
  std::vector<std::string> environment_;
  std::vector<char*> envp_;
  std::vector<std::string> searchPath_;  // PATH's directories, as the shell sees them.
};

}  // namespace os

#endif
