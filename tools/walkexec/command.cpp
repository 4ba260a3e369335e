#include "command.h"

#include "quoting.h"

namespace {

const wchar_t kFileToken[] = L"@path";
const wchar_t kBatchToken[] = L"@paths";

}  // namespace

std::wstring commandLineForFile(const std::wstring& path, const std::wstring& command) {
  std::wstring line = command;
  replaceAll(line, kFileToken, os::quotePath(path));
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

// "@paths" begins with "@path": a token followed by "s" is the batch's.
CommandTemplate::CommandTemplate(const std::wstring& command)
    : command_(command), longest_(os::longestCommandLine()) {
  const size_t fileLength = sizeof kFileToken / sizeof kFileToken[0] - 1;
  for (size_t at = command.find(kFileToken); at != std::wstring::npos;
       at = command.find(kFileToken, at + fileLength)) {
    if (command.compare(at, fileLength + 1, kBatchToken) == 0)
      ++batchTokens_;
    else
      ++fileTokens_;
  }
  std::wstring empty = command;
  replaceAll(empty, kBatchToken, L"");
  emptyLength_ = os::commandLineLength(empty);
}

std::wstring CommandTemplate::lineFor(const std::vector<std::wstring>& paths) const {
  if (!batches())
    return commandLineForFile(paths.front(), command_);
  std::wstring quoted;
  for (const std::wstring& path : paths)
    quoted += (quoted.empty() ? L"" : L" ") + os::quotePath(path);
  std::wstring line = command_;
  replaceAll(line, kBatchToken, quoted);
  return line;
}

// The path quoted and a blank, once for each "@paths".
size_t CommandTemplate::lengthOf(const std::wstring& path) const {
  return batchTokens_ * (os::commandLineLength(os::quotePath(path)) + 1);
}
