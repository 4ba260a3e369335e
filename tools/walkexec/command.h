// Running the command template for one file, and the failure log.
#ifndef WALKEXEC_COMMAND_H
#define WALKEXEC_COMMAND_H

#include <string>

#include "system.h"

// The template with every "@path" replaced by the quoted path.
std::wstring commandLineForFile(const std::wstring& path, const std::wstring& command);

// Runs the template's line for `path`; returns the command's exit code.
int runCommandForFile(platform::CommandRunner& runner, const std::wstring& path,
                      const std::wstring& command);

// Replaces every occurrence of `token`, left to right; text brought in by a
// replacement is not searched again.
void replaceAll(std::wstring& text, const std::wstring& token, const std::wstring& replacement);

// The failure log of a run, named by -e (empty: none). A line that cannot be
// written is lost, and the first loss is told on standard error, so that a
// run that lost some can end with a failure.
class FailureLog {
 public:
  explicit FailureLog(const std::wstring& path);

  // Appends "<exit code>,<path>\r\n" in UTF-16LE, whole or not at all.
  void logFailure(int exitCode, const std::wstring& path);

  bool lostLines() const { return lost_; }

 private:
  std::wstring path_;
  bool lost_ = false;
};

#endif
