// CommandRunner on POSIX: /bin/sh -c for every line that needs the shell,
// and the program itself, started as the shell would start it, for every
// other line, which saves a shell per file.
#include "system.h"

#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "text.h"

extern char** environ;

namespace platform {

namespace {

// Signal state is process-wide, so these are too.
volatile sig_atomic_t commandRunning = 0;
volatile sig_atomic_t pendingInterrupt = 0;

void endBySignal(int signo) {
  signal(signo, SIG_DFL);
  raise(signo);
}

// During a command an interrupt waits for its end, as with system(), so
// that the command sees it first; otherwise it ends the run at once.
void onInterrupt(int signo) {
  if (commandRunning)
    pendingInterrupt = signo;
  else
    endBySignal(signo);
}

// Caught rather than ignored: exec gives the commands the default back.
void onBrokenPipe(int) {}

const int kCaughtSignals[] = {SIGINT, SIGQUIT, SIGPIPE};

// dash's keywords and builtins: a line starting with one needs the shell.
const char* const kShellWords[] = {
    "!",       "case",     "do",     "done",    "elif",   "else",  "esac",     "fi",
    "for",     "if",       "in",     "then",    "until",  "while", "{",        "}",
    ".",       ":",        "[",      "alias",   "bg",     "break", "cd",       "chdir",
    "command", "continue", "echo",   "eval",    "exec",   "exit",  "export",   "false",
    "fg",      "getopts",  "hash",   "jobs",    "kill",   "local", "printf",   "pwd",
    "read",    "readonly", "return", "set",     "shift",  "test",  "times",    "trap",
    "true",    "type",     "ulimit", "umask",   "unalias", "unset", "wait"};

// The search path of dash when PATH is not set.
const char kDefaultPath[] = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

// The words of a line that needs nothing of the shell: blanks between
// words, and in them only plain characters and single-quoted text (the
// quoted paths, '\'' included), which the shell takes literally. False for
// anything else.
bool plainWords(const std::string& line, std::vector<std::string>& words) {
  bool inWord = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == ' ' || c == '\t') {
      inWord = false;
      continue;
    }
    if (!inWord) words.emplace_back();
    inWord = true;
    if (c == '\'') {
      size_t end = line.find('\'', i + 1);
      if (end == std::string::npos) return false;
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
  if (words.empty()) return false;
  for (const char* word : kShellWords)
    if (words[0] == word) return false;
  return true;
}

// The environment that the shell gives its commands is not ours: it drops
// names that are no variable names, sets PWD and has its own order. So it is
// asked of the shell, once.
bool readShellEnvironment(std::vector<std::string>& variables) {
  FILE* pipe = popen("exec cat /proc/self/environ 2>/dev/null", "r");
  if (!pipe) return false;
  std::string bytes;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) bytes.append(buffer, n);
  if (pclose(pipe) != 0) return false;
  for (size_t at = 0, end; (end = bytes.find('\0', at)) != std::string::npos; at = end + 1)
    variables.push_back(bytes.substr(at, end - at));
  return true;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (std::string& s : strings) result.push_back(&s[0]);
  result.push_back(nullptr);
  return result;
}

}  // namespace

struct CommandRunner::State {
  struct sigaction saved[3];  // As the process started, for kCaughtSignals.
  bool caught[3] = {};

  enum { kUnknown, kKnown, kUnavailable } environmentState = kUnknown;
  std::vector<std::string> environment;
  std::vector<char*> envp;
  std::vector<std::string> searchPath;  // PATH's directories, as the shell sees them.

  bool learnEnvironment();
  std::vector<std::string> programs(const std::string& name) const;
  pid_t start(const std::vector<std::string>& programs, char* const argv[], char* const envp[]);
  int finish(pid_t child, bool reportSignal);
};

CommandRunner::CommandRunner() : state_(new State) {
  for (int i = 0; i < 3; ++i) {
    int signo = kCaughtSignals[i];
    sigaction(signo, nullptr, &state_->saved[i]);
    // A signal ignored from the start stays ignored, for us and the commands.
    if (state_->saved[i].sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = signo == SIGPIPE ? onBrokenPipe : onInterrupt;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(signo, &action, nullptr);
    state_->caught[i] = true;
  }
}

CommandRunner::~CommandRunner() {
  for (int i = 0; i < 3; ++i)
    if (state_->caught[i]) sigaction(kCaughtSignals[i], &state_->saved[i], nullptr);
}

bool CommandRunner::State::learnEnvironment() {
  if (environmentState == kUnknown) {
    environmentState = readShellEnvironment(environment) ? kKnown : kUnavailable;
    std::string path = kDefaultPath;
    for (const std::string& variable : environment)
      if (variable.compare(0, 5, "PATH=") == 0) path = variable.substr(5);
    // A '%' marks dash's path options, which only the shell knows.
    if (path.find('%') != std::string::npos) environmentState = kUnavailable;
    for (size_t at = 0, end;; at = end + 1) {
      end = path.find(':', at);
      searchPath.push_back(path.substr(at, end - at));
      if (end == std::string::npos) break;
    }
    envp = pointers(environment);
  }
  return environmentState == kKnown;
}

// Where the shell looks for a program: the name itself when it holds a
// '/', else in each directory of PATH in turn (an empty one is the
// current directory).
std::vector<std::string> CommandRunner::State::programs(const std::string& name) const {
  if (name.find('/') != std::string::npos) return {name};
  std::vector<std::string> result;
  for (const std::string& directory : searchPath)
    result.push_back(directory.empty() ? name : directory + "/" + name);
  return result;
}

// Starts the first of `programs` that the system will run; -1 when none
// would. vfork shares our memory until the child's exec, which makes it the
// cheapest start and lets the child tell us that its exec failed. Signals
// stay blocked until the child has the default handlers back, so that none
// of ours runs in it.
pid_t CommandRunner::State::start(const std::vector<std::string>& programs, char* const argv[],
                                  char* const envp[]) {
  sigset_t all, old;
  sigfillset(&all);
  sigprocmask(SIG_SETMASK, &all, &old);
  volatile bool execFailed = false;
  pid_t child = vfork();
  if (child == 0) {
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    for (int i = 0; i < 3; ++i)
      if (caught[i]) sigaction(kCaughtSignals[i], &byDefault, nullptr);
    sigprocmask(SIG_SETMASK, &old, nullptr);
    for (const std::string& program : programs) {
      execve(program.c_str(), argv, envp);
      // The shell goes on past these; any other failure is the shell's to tell.
      if (errno != ENOENT && errno != ENOTDIR && errno != EACCES) break;
    }
    execFailed = true;
    _exit(127);
  }
  sigprocmask(SIG_SETMASK, &old, nullptr);
  if (child > 0 && execFailed) {
    waitpid(child, nullptr, 0);
    return -1;
  }
  return child;
}

// Waits for the child, then ends the process by an interrupt received
// meanwhile. A child killed by a signal is reported as the shell reports
// it when `reportSignal` says that no shell stood between.
int CommandRunner::State::finish(pid_t child, bool reportSignal) {
  int status = 0;
  pid_t waited = child > 0 ? waitpid(child, &status, 0) : -1;
  commandRunning = 0;
  if (pendingInterrupt) endBySignal(pendingInterrupt);
  if (waited != child || child <= 0) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  int signo = WTERMSIG(status);
  if (reportSignal && signo != SIGINT && signo != SIGPIPE) {
    // dash's words: the signal's description, cut at 32 bytes.
    std::string report = std::string(strsignal(signo)).substr(0, 32);
    if (WCOREDUMP(status)) report += " (core dumped)";
    report += '\n';
    fwrite(report.data(), 1, report.size(), stderr);
  }
  return 128 + signo;
}

int CommandRunner::run(const std::wstring& commandLine) {
  fflush(stdout);
  fflush(stderr);
  std::string line = encodeUtf8(commandLine);
  commandRunning = 1;
  std::vector<std::string> words;
  std::vector<char*> argv;
  pid_t child = -1;
  if (plainWords(line, words) && state_->learnEnvironment()) {
    argv = pointers(words);
    child = state_->start(state_->programs(words[0]), argv.data(), state_->envp.data());
    if (child > 0) return state_->finish(child, true);
  }
  // Everything else, a program not found included, goes to the shell, which
  // also says why it could not start one, in its own words.
  std::vector<std::string> shell = {"sh", "-c", line};
  argv = pointers(shell);
  child = state_->start({"/bin/sh"}, argv.data(), environ);
  return state_->finish(child, false);
}

}  // namespace platform
