#include "command.h"

#include <boost/format.hpp>

std::wstring commandLineForFile(const std::wstring& path, const std::wstring& command) {
  std::wstring line = command;
  replaceAll(line, L"@path", platform::quotePath(path));
  return line;
}

int runCommandForFile(platform::CommandRunner& runner, const std::wstring& path,
                      const std::wstring& command) {
  return runner.run(commandLineForFile(path, command));
}

void replaceAll(std::wstring& text, const std::wstring& token, const std::wstring& replacement) {
  if (token.empty()) return;
  for (size_t at = text.find(token); at != std::wstring::npos;
       at = text.find(token, at + replacement.size())) {
    text.replace(at, token.size(), replacement);
  }
}

FailureLog::FailureLog(const std::wstring& path) : path_(path) {}

void FailureLog::logFailure(int exitCode, const std::wstring& path) {
  if (path_.empty()) return;
  std::string line = platform::utf16leBytes((boost::wformat(L"%d,%s\r\n") % exitCode % path).str());
  std::wstring reason;
  if (platform::appendWhole(path_, line, reason)) return;
  if (!lost_)
    platform::writeError(
        (boost::wformat(L"walkexec: cannot write the failure log %s: %s\n") % path_ % reason).str());
  lost_ = true;
}
