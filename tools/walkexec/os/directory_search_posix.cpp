#include "directory_search.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "error_text.h"
#include "text.h"

namespace os {

const wchar_t kPathSeparator = L'/';

bool isPathSeparator(wchar_t c) {
  return c == L'/';
}

namespace {

EntryKind kindOf(const struct stat& info) {
  return S_ISDIR(info.st_mode)   ? EntryKind::kDirectory
         : S_ISREG(info.st_mode) ? EntryKind::kFile
                                 : EntryKind::kOther;
}

// What a link leads to: nothing when it dangles or loops.
EntryKind linkedKind(int directory, const char* name) {
  struct stat info;
  if (fstatat(directory, name, &info, 0) != 0)
    return EntryKind::kOther;
  EntryKind kind = kindOf(info);
  return kind == EntryKind::kDirectory ? EntryKind::kLinkedDirectory : kind;
}

// The type the directory gives, or, where it gives none, the entry's own.
EntryKind kindOf(int directory, const struct dirent& entry) {
  struct stat info;
  switch (entry.d_type) {
    case DT_DIR:
      return EntryKind::kDirectory;
    case DT_REG:
      return EntryKind::kFile;
    case DT_LNK:
      return linkedKind(directory, entry.d_name);
    case DT_UNKNOWN:
      if (fstatat(directory, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return EntryKind::kOther;
      return S_ISLNK(info.st_mode) ? linkedKind(directory, entry.d_name) : kindOf(info);
    default:
      return EntryKind::kOther;
  }
}

}  // namespace

// The names as the directory holds them, one after another, each ended by
// a NUL: a directory of many files takes little more than their names.
struct DirectorySearch::State {
  std::string names;
  std::vector<uint32_t> starts;
  std::vector<EntryKind> kinds;
  std::wstring error;
};

DirectorySearch::DirectorySearch(const std::wstring& directory) : state_(new State) {
  DIR* dir = opendir(encodeUtf8(directory).c_str());
  if (!dir) {
    if (errno != ENOTDIR)
      state_->error = errorText(errno);
    return;
  }
  for (;;) {
    errno = 0;
    struct dirent* found = readdir(dir);
    if (!found) {
      if (errno != 0)
        state_->error = errorText(errno);
      break;
    }
    state_->starts.push_back(static_cast<uint32_t>(state_->names.size()));
    state_->names.append(found->d_name).push_back('\0');
    state_->kinds.push_back(kindOf(dirfd(dir), *found));
  }
  closedir(dir);  // Only read from: closing loses nothing.
}

DirectorySearch::~DirectorySearch() = default;

size_t DirectorySearch::size() const {
  return state_->starts.size();
}

std::wstring DirectorySearch::name(size_t entry) const {
  return decodeUtf8(state_->names.c_str() + state_->starts[entry]);
}

EntryKind DirectorySearch::kind(size_t entry) const {
  return state_->kinds[entry];
}

const std::wstring& DirectorySearch::error() const {
  return state_->error;
}

}  // namespace os
