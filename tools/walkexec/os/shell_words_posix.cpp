#include "shell_words.h"

#include <string.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>

extern char** environ;

namespace os {

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

// The search path of dash when PATH is not set.
const char kDefaultPath[] = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

// The environment that the shell gives its commands is not ours: it drops
// names that are no variable names, sets PWD and has its own order. So it is
// asked of the shell.
bool readShellEnvironment(std::vector<std::string>& variables) {
  FILE* pipe = popen("exec cat /proc/self/environ 2>/dev/null", "r");
  if (!pipe)
    return false;
  std::string bytes;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    bytes.append(buffer, n);
  if (pclose(pipe) != 0)
    return false;
  for (size_t at = 0, end; (end = bytes.find('\0', at)) != std::string::npos; at = end + 1)
    variables.push_back(bytes.substr(at, end - at));
  return true;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (std::string& s : strings)
    result.push_back(&s[0]);
  result.push_back(nullptr);
  return result;
}

// Failures that a command ending may cure.
bool lacking(int error) {
  return error == EAGAIN || error == ENOMEM || error == EMFILE || error == ENFILE;
}

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

bool Shell::learnEnvironment() {
  if (environmentState_ == kUnknown) {
    environmentState_ = readShellEnvironment(environment_) ? kKnown : kUnavailable;
    std::string path = kDefaultPath;
    for (const std::string& variable : environment_)
      if (variable.compare(0, 5, "PATH=") == 0)
        path = variable.substr(5);
    // A '%' marks dash's path options, which only the shell knows.
    if (path.find('%') != std::string::npos)
      environmentState_ = kUnavailable;
    for (size_t at = 0, end;; at = end + 1) {
      end = path.find(':', at);
      searchPath_.push_back(path.substr(at, end - at));
      if (end == std::string::npos)
        break;
    }
    envp_ = pointers(environment_);
  }
  return environmentState_ == kKnown;
}

// Where the shell looks for a program: the name itself when it holds a
// '/', else in each directory of PATH in turn (an empty one is the
// current directory).
std::vector<std::string> Shell::programs(const std::string& name) const {
  if (name.find('/') != std::string::npos)
    return {name};
  std::vector<std::string> result;
  for (const std::string& directory : searchPath_)
    result.push_back(directory.empty() ? name : directory + "/" + name);
  return result;
}

pid_t Shell::start(const std::string& line, const int* stdio, const sigset_t* childMask,
                   bool& direct, int& error) {
  std::vector<std::string> words;
  std::vector<char*> argv;
  direct = false;
  if (plainWords(line, words) && learnEnvironment()) {
    argv = pointers(words);
    pid_t child =
        spawnChild(rules_, programs(words[0]), argv.data(), envp_.data(), stdio, childMask, error);
    if (child != -1 || lacking(error)) {
      direct = child > 0;
      return child;
    }
  }
  std::vector<std::string> shell = {"sh", "-c", line};
  argv = pointers(shell);
  return spawnChild(rules_, {"/bin/sh"}, argv.data(), environ, stdio, childMask, error);
}

}  // namespace os
