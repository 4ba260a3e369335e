#include "command.h"

#include <boost/format.hpp>

std::wstring commandLineForFile(const std::wstring& path, const std::wstring& command) {
  std::wstring line = command;
  replaceAll(line, L"@path", platform::quotePath(path));
  return line;
}

void replaceAll(std::wstring& text, const std::wstring& token, const std::wstring& replacement) {
  if (token.empty())
    return;
  for (size_t at = text.find(token); at != std::wstring::npos;
       at = text.find(token, at + replacement.size())) {
    text.replace(at, token.size(), replacement);
  }
}

ExitLog::ExitLog(const std::wstring& path, const std::wstring& name) : path_(path), name_(name) {}

void ExitLog::append(int exitCode, const std::wstring& path) {
  if (path_.empty())
    return;
  std::string line = platform::utf16leBytes((boost::wformat(L"%d,%s\r\n") % exitCode % path).str());
  std::wstring reason;
  if (platform::appendWhole(path_, line, reason))
    return;
  if (!lost_)
    platform::writeError(
        (boost::wformat(L"walkexec: cannot write the %s %s: %s\n") % name_ % path_ % reason).str());
  lost_ = true;
}

bool succeededPaths(const std::wstring& path, std::unordered_set<std::string>& paths,
                    std::wstring& reason) {
  std::string log;
  if (!platform::readWhole(path, log, reason))
    return false;
  const std::string end("\r\0\n\0", 4), success("0\0,\0", 4);
  // Code units are two bytes: a match at an odd offset is none.
  size_t at = 0;
  for (size_t next = log.find(end); next != std::string::npos; next = log.find(end, next + 1)) {
    if ((next - at) % 2 != 0)
      continue;
    if (log.compare(at, success.size(), success) == 0 && next - at > success.size())
      paths.insert(log.substr(at + success.size(), next - at - success.size()));
    at = next + end.size();
  }
  return true;
}
