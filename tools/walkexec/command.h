// Running the command template for one file, and the logs of exit codes.
#ifndef WALKEXEC_COMMAND_H
#define WALKEXEC_COMMAND_H

#include <string>
#include <unordered_set>

#include "system.h"

// The template with every "@path" replaced by the quoted path.
std::wstring commandLineForFile(const std::wstring& path, const std::wstring& command);

// Replaces every occurrence of `token`, left to right; text brought in by a
// replacement is not searched again.
void replaceAll(std::wstring& text, const std::wstring& token, const std::wstring& replacement);

// A log of exit codes: the failure log (-e) or the job log (-l), at `path`
// (empty: none). A line that cannot be written is lost, and the first loss
// is told on standard error, so that a run that lost some can end with a
// failure.
class ExitLog {
 public:
  // `name` says which log it is in the message of a loss.
  ExitLog(const std::wstring& path, const std::wstring& name);

  // Appends "<exit code>,<path>\r\n" in UTF-16LE, whole or not at all.
  void append(int exitCode, const std::wstring& path);

  bool lostLines() const { return lost_; }

 private:
  std::wstring path_;
  std::wstring name_;
  bool lost_ = false;
};

// The paths, as UTF-16LE bytes, that the log at `path` records with exit
// code 0; a missing log records none. A line cut short is no record. False,
// with the reason, when the log cannot be read.
bool succeededPaths(const std::wstring& path, std::unordered_set<std::string>& paths,
                    std::wstring& reason);

#endif
