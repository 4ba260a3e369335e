#include "command.h"

#include "quoting.h"

std::wstring commandLineForFile(const std::wstring& path, const std::wstring& command) {
  std::wstring line = command;
  replaceAll(line, L"@path", os::quotePath(path));
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
