#include "command.h"

#include <cstdio>

#include <boost/format.hpp>

#include "system.h"

int runCommandForFile(const std::wstring& path, const std::wstring& command) {
  std::wstring line = command;
  replaceAll(line, L"@path", platform::quotePath(path));
  return platform::runCommandLine(line);
}

void replaceAll(std::wstring& text, const std::wstring& token, const std::wstring& replacement) {
  if (token.empty()) return;
  for (size_t at = text.find(token); at != std::wstring::npos;
       at = text.find(token, at + replacement.size())) {
    text.replace(at, token.size(), replacement);
  }
}

void logFailure(const std::wstring& errorLog, int exitCode, const std::wstring& path) {
  FILE* log = platform::openForAppend(errorLog);
  if (!log) return;
  std::string bytes = platform::utf16leBytes((boost::wformat(L"%d,%s\r\n") % exitCode % path).str());
  fwrite(bytes.data(), 1, bytes.size(), log);
  fclose(log);
}
