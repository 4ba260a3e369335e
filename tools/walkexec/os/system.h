// The few platform calls walkexec makes, with one implementation for Windows
// (system_win32.cpp) and one for POSIX (system_posix.cpp) that gives the same
// answers. Text is wide everywhere; POSIX converts at this boundary.
#ifndef PLATFORM_SYSTEM_SYSTEM_H
#define PLATFORM_SYSTEM_SYSTEM_H

#include <memory>
#include <string>
#include <vector>

namespace platform {

// '\\' on Windows, '/' on POSIX.
extern const wchar_t kPathSeparator;

// The process arguments, split and decoded as the C runtime's wide main
// would receive them.
std::vector<std::wstring> wideArguments(int argc, char* argv[]);

struct DirectoryEntry {
  std::wstring name;
  bool isDirectory = false;  // Follows links, as the directory attribute does.
};

// One search of a directory for a pattern, given as the directory path
// joined with the pattern. A search that fails finds nothing, and says why
// unless the directory path names a file. The destructor closes it.
class DirectorySearch {
 public:
  explicit DirectorySearch(const std::wstring& searchPath);
  ~DirectorySearch();
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;

  // Fills `entry` with the next match; false when none is left.
  bool next(DirectoryEntry& entry);

  // Why the directory could not be read, in part or at all; empty when it
  // could, or when the directory path names a file.
  const std::wstring& error() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The shell's match of a long file name against a pattern (or a
// ';'-separated list of patterns).
bool shellMatch(const std::wstring& name, const std::wstring& patterns);

// What makes a directory the same one when reached by another path.
struct DirectoryId {
  unsigned long long device = 0;
  unsigned long long inode = 0;
  bool operator==(const DirectoryId& other) const {
    return device == other.device && inode == other.inode;
  }
};

// False when the path names no directory, or where the platform offers no
// identity to guard the walk with (Windows ends link cycles itself, at its
// path length limit).
bool directoryId(const std::wstring& path, DirectoryId& id);

// System time in 100-ns units since 1601-01-01 UTC.
unsigned long long systemTimeNow();

// A path as one literal word of the command interpreter's line.
std::wstring quotePath(const std::wstring& path);

// What writing a command's held output lost, if anything, and why.
struct OutputLoss {
  enum What { kNothing, kNotRead, kNotHeld, kNotReadBack, kNotWritten };
  What what = kNothing;
  std::wstring reason;
};

// Runs command lines through the command interpreter. On POSIX a line that
// needs nothing of the shell starts its program directly, as the shell
// would start it. While it exists it also holds the process's interrupt
// handling: a SIGINT, SIGQUIT or SIGTERM (on Windows, in a run of several
// commands, a Ctrl-C or Ctrl-Break) never lets another command start; it
// ends the process by that signal at once while no command's results are
// pending, and otherwise once they are all written. A SIGPIPE no longer
// ends the process, so output that cannot be shown is dropped, and SIGCHLD
// is back to its default, so that every command's end is seen. Commands
// start with the other dispositions the process started with.
class CommandRunner {
 public:
  // What start() returns when an interrupt has come.
  static const int kInterrupted = -1;

  // `jobs` is the most commands that will run at once.
  explicit CommandRunner(unsigned jobs);
  ~CommandRunner();
  CommandRunner(const CommandRunner&) = delete;
  CommandRunner& operator=(const CommandRunner&) = delete;

  // One at a time: flushes our own output, runs the line with our standard
  // handles and gives its exit code: 128+N for a command killed by signal
  // N on POSIX. False, with startError() saying why, when nothing could be
  // started. Its results stay pending until resultsWritten().
  bool run(const std::wstring& commandLine, int& exitCode);
  // Ends the process by an interrupt that came while run() ran.
  void resultsWritten();

  // Several at a time: starts the line with the null device as its input
  // and its output and errors held, or has it started. Returns the
  // command's number; kInterrupted when an interrupt has come, and then
  // starts nothing.
  int start(const std::wstring& commandLine);

  // Waits until one of the commands given to start() has ended; returns its
  // number and its exit code, as run() gives it. `started` is false for a
  // command that did not start: startError() says why (the system lacked
  // what a start takes: descriptors, processes, memory), or is empty when
  // an interrupt came first.
  int wait(int& exitCode, bool& started);

  // Why the last command that did not start did not.
  const std::wstring& startError() const;

  // How many commands may run at once, at most `jobs` and at least one:
  // fewer where the descriptors that the process may open would not suffice
  // for `jobs` and the rest of the run.
  unsigned capacity() const;

  // Writes what an ended command printed, its output to standard output
  // and its errors to standard error, and forgets it (a command that did
  // not start too). Its results are then all written. False, with what was
  // lost, when some of its output could not be held, read back or written.
  // Standard output closed (a pipe whose reader has gone) loses nothing
  // more: it stops the run as an interrupt does, on POSIX by SIGPIPE.
  bool writeOutput(int command, OutputLoss& loss);

  // Whether an interrupt has come; ending by it waits for every started
  // command's results to be written.
  bool interrupted() const;
  [[noreturn]] void endByInterrupt();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Writes wide text to standard error.
void writeError(const std::wstring& text);

// Appends the bytes to a file in one write, creating it if missing. The
// file gets all of them or, a short write being undone, none; false then,
// with the reason.
bool appendWhole(const std::wstring& path, const std::string& bytes, std::wstring& reason);

// Reads a whole regular file; a missing one reads as empty. False, with the
// reason, when it cannot be read or is no regular file (a pipe or a device
// may never end).
bool readWhole(const std::wstring& path, std::string& bytes, std::wstring& reason);

// Cuts a file to its first `size` bytes. False, with the reason, when it
// cannot.
bool truncateFile(const std::wstring& path, unsigned long long size, std::wstring& reason);

// The text as UTF-16 little-endian bytes.
std::string utf16leBytes(const std::wstring& text);

}  // namespace platform

#endif
