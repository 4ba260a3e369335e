// The logs of a run's exit codes, the failure log (-e) and the job log
// (-l), and the resume (-r) from the job log.
#ifndef WALKEXEC_LOGS_H
#define WALKEXEC_LOGS_H

#include <string>
#include <unordered_set>

// A log of exit codes at `path` (empty: none). A line that cannot be
// written is lost, and the first loss is told on standard error, so that a
// run that lost some can end with a failure.
class ExitLog {
 public:
  // The failure log keeps paths as they are; the job log escapes them.
  enum Paths { kPlain, kEscaped };

  // `name` says which log it is in the message of a loss.
  ExitLog(const std::wstring& path, const std::wstring& name, Paths paths);

  // Appends "<exit code>,<path>\r\n" in UTF-16LE, whole or not at all.
  void append(int exitCode, const std::wstring& path);

  bool lostLines() const { return lost_; }

 private:
  std::wstring path_;
  std::wstring name_;
  Paths paths_;
  bool lost_ = false;
};

// The path of a job-log line: '|' escapes CR ("|r"), LF ("|n") and itself
// ("||"), so that no name can end a line, or begin another, of its own.
std::wstring escapePath(const std::wstring& path);

// Where a run's results go, and what an earlier run has done.
struct RunLogs {
  ExitLog failures;
  ExitLog jobs;
  std::unordered_set<std::string> succeeded;  // Paths as UTF-16LE bytes, not run again.
};

// Fills `paths` with the paths, as UTF-16LE bytes, that the job log at
// `path` records with exit code 0; a missing log records none, and a line
// cut short is no record. A line without escapes means what it always
// meant. The log's last line, when a run was cut off while writing it, is
// then ended (an odd byte dropped, CR LF added), so that the lines appended
// after it stay lines of their own. False, with the reason, when the log
// cannot be read or mended, or is no regular file.
bool resumeFrom(const std::wstring& path, std::unordered_set<std::string>& paths,
                std::wstring& reason);

#endif
