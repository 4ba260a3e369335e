#include "shell_words.h"

#include <string.h>
#include <sys/wait.h>

namespace platform {

namespace {

// dash's keywords and builtins: a line starting with one needs the shell.
const char* const kShellWords[] = {
    "!",       "case",     "do",     "done",  "elif",    "else",  "esac",   "fi",
    "for",     "if",       "in",     "then",  "until",   "while", "{",      "}",
    ".",       ":",        "[",      "alias", "bg",      "break", "cd",     "chdir",
    "command", "continue", "echo",   "eval",  "exec",    "exit",  "export", "false",
    "fg",      "getopts",  "hash",   "jobs",  "kill",    "local", "printf", "pwd",
    "read",    "readonly", "return", "set",   "shift",   "test",  "times",  "trap",
    "true",    "type",     "ulimit", "umask", "unalias", "unset", "wait"};

}  // namespace

bool plainWords(const std::string& line, std::vector<std::string>& words) {
  bool inWord = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == ' ' || c == '\t') {
      inWord = false;
      continue;
    }
    if (!inWord)
      words.emplace_back();
    inWord = true;
    if (c == '\'') {
      size_t end = line.find('\'', i + 1);
      if (end == std::string::npos)
        return false;
      words.back().append(line, i + 1, end - i - 1);
      i = end;
    } else if (c == '\\' && i + 1 < line.size() && line[i + 1] == '\'') {
      words.back() += '\'';
      ++i;
    } else if (c == '\0' || strchr("\"$`\\;&|<>(){}*?[#~\n", c) ||
               (c == '=' && words.size() == 1)) {
      return false;
    } else {
      words.back() += c;
    }
  }
  if (words.empty())
    return false;
  for (const char* word : kShellWords)
    if (words[0] == word)
      return false;
  return true;
}

int shellExitCode(int status, bool direct, std::string& report) {
  if (WIFEXITED(status))
    return WEXITSTATUS(status);
  int signo = WTERMSIG(status);
  if (direct && signo != SIGINT && signo != SIGPIPE) {
    // dash's words: the signal's description, cut at 32 bytes.
    report = std::string(strsignal(signo)).substr(0, 32);
    if (WCOREDUMP(status))
      report += " (core dumped)";
    report += '\n';
  }
  return 128 + signo;
}

}  // namespace platform
