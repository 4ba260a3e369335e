#include "directory_search.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>

#include "error_text.h"
#include "text.h"
#include "wildcard.h"

namespace os {

const wchar_t kPathSeparator = L'/';

namespace {

bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

// readdir on the directory part, filtered by the shell's match of the
// pattern part, as the Windows search answers. Only the last component is a
// pattern: '*' and '?' are ordinary characters of POSIX names.
struct DirectorySearch::State {
  DIR* dir = nullptr;
  std::string prefix;  // Directory part with its trailing '/', or empty.
  std::wstring pattern;
  std::wstring error;
};

DirectorySearch::DirectorySearch(const std::wstring& searchPath) : state_(new State) {
  size_t cut = searchPath.rfind(L'/');
  size_t patternStart = cut == std::wstring::npos ? 0 : cut + 1;
  std::wstring directory = searchPath.substr(0, patternStart);
  state_->pattern = searchPath.substr(patternStart);
  if (state_->pattern.empty())
    return;
  state_->prefix = encodeUtf8(directory);
  state_->dir = opendir(state_->prefix.empty() ? "." : state_->prefix.c_str());
  if (!state_->dir && errno != ENOTDIR)
    state_->error = errorText(errno);
}

// Only read from: closing loses nothing.
DirectorySearch::~DirectorySearch() {
  if (state_->dir)
    closedir(state_->dir);
}

bool DirectorySearch::next(DirectoryEntry& entry) {
  if (!state_->dir)
    return false;
  for (;;) {
    errno = 0;
    struct dirent* found = readdir(state_->dir);
    if (!found) {
      if (errno != 0)
        state_->error = errorText(errno);
      return false;
    }
    std::wstring name = decodeUtf8(found->d_name);
    if (!wildcardMatch(name, state_->pattern))
      continue;
    entry.name = name;
    if (found->d_type == DT_DIR) {
      entry.isDirectory = true;
    } else if (found->d_type == DT_LNK || found->d_type == DT_UNKNOWN) {
      entry.isDirectory = isDirectory(state_->prefix + found->d_name);
    } else {
      entry.isDirectory = false;
    }
    return true;
  }
}

const std::wstring& DirectorySearch::error() const {
  return state_->error;
}

}  // namespace os
