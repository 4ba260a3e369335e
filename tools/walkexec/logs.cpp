#include "logs.h"

#include <boost/format.hpp>

#include "console.h"
#include "text.h"
#include "whole_file.h"

namespace {

const wchar_t kEscape = L'|';

// UTF-16LE code units, two bytes each.
const std::string kLineEnd("\r\0\n\0", 4);
const std::string kSuccess("0\0,\0", 4);

// The path bytes of a job-log line with its escapes undone; an escape
// character before anything else stands for itself, as in older logs.
std::string unescape(const std::string& bytes) {
  std::string path;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    bool escape = bytes[i] == static_cast<char>(kEscape) && bytes[i + 1] == '\0';
    char next = i + 3 < bytes.size() && bytes[i + 3] == '\0' ? bytes[i + 2] : '\0';
    if (escape && (next == 'r' || next == 'n' || next == static_cast<char>(kEscape))) {
      path += next == 'r' ? '\r' : next == 'n' ? '\n' : static_cast<char>(kEscape);
      path += '\0';
      i += 2;
    } else {
      path.append(bytes, i, 2);
    }
  }
  return path;
}

// Ends a last line that a run cut off: drops an odd byte, which no code
// unit holds, and adds the missing line end.
bool endLastLine(const std::wstring& path, std::string& log, std::wstring& reason) {
  if (log.size() % 2 != 0) {
    if (!os::truncateFile(path, log.size() - 1, reason))
      return false;
    log.pop_back();
  }
  bool ended = log.size() >= kLineEnd.size() &&
               log.compare(log.size() - kLineEnd.size(), kLineEnd.size(), kLineEnd) == 0;
  if (log.empty() || ended)
    return true;
  if (!os::appendWhole(path, kLineEnd, reason))
    return false;
  log += kLineEnd;
  return true;
}

}  // namespace

ExitLog::ExitLog(const std::wstring& path, const std::wstring& name, Paths paths)
    : path_(path), name_(name), paths_(paths) {}

void ExitLog::append(int exitCode, const std::wstring& path) {
  if (path_.empty())
    return;
  const std::wstring& shown = paths_ == kEscaped ? escapePath(path) : path;
  std::string line = os::utf16leBytes((boost::wformat(L"%d,%s\r\n") % exitCode % shown).str());
  std::wstring reason;
  if (os::appendWhole(path_, line, reason))
    return;
  if (!lost_)
    os::writeError(
        (boost::wformat(L"walkexec: cannot write the %s %s: %s\n") % name_ % path_ % reason).str());
  lost_ = true;
}

std::wstring escapePath(const std::wstring& path) {
  std::wstring escaped;
  for (wchar_t c : path) {
    if (c == L'\r')
      escaped += L"|r";
    else if (c == L'\n')
      escaped += L"|n";
    else if (c == kEscape)
      escaped += L"||";
    else
      escaped += c;
  }
  return escaped;
}

bool resumeFrom(const std::wstring& path, std::unordered_set<std::string>& paths,
                std::wstring& reason) {
  std::string log;
  if (!os::readWhole(path, log, reason))
    return false;
  // Code units are two bytes: a match at an odd offset is none.
  size_t at = 0;
  for (size_t next = log.find(kLineEnd); next != std::string::npos;
       next = log.find(kLineEnd, next + 1)) {
    if ((next - at) % 2 != 0)
      continue;
    if (log.compare(at, kSuccess.size(), kSuccess) == 0 && next - at > kSuccess.size())
      paths.insert(unescape(log.substr(at + kSuccess.size(), next - at - kSuccess.size())));
    at = next + kLineEnd.size();
  }
  return endLastLine(path, log, reason);
}
