#include "directory_search.h"

#include <windows.h>

#include <cstdint>
#include <vector>

#include "error_text.h"
#include "exact_path.h"
#include "win_path.h"

namespace os {

const wchar_t kPathSeparator = L'\\';

bool isPathSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

namespace {

// A reparse point that stands for another name: a junction or a symbolic
// link. Wine's symbolic links carry no tag.
bool isLink(const WIN32_FIND_DATAW& data) {
  const DWORD kNameSurrogate = 0x20000000;
  return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         (data.dwReserved0 == 0 || (data.dwReserved0 & kNameSurrogate));
}

// Every entry that is no directory is a file: Windows keeps no pipes or
// devices in directories.
EntryKind kindOf(const WIN32_FIND_DATAW& data) {
  if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return EntryKind::kFile;
  return isLink(data) ? EntryKind::kLinkedDirectory : EntryKind::kDirectory;
}

// Whether a path names a file: a search in it fails as in a missing
// directory.
bool namesFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(winpath::ForFileCall(exactPath(path)).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// The names one after another, each ended by a NUL.
struct DirectorySearch::State {
  std::wstring names;
  std::vector<uint32_t> starts;
  std::vector<EntryKind> kinds;
  std::wstring error;
};

// No match in a directory that exists is no failure.
DirectorySearch::DirectorySearch(const std::wstring& directory) : state_(new State) {
  std::wstring search = directory;
  if (search.empty() || !isPathSeparator(search.back()))
    search += kPathSeparator;
  WIN32_FIND_DATAW data;
  HANDLE handle = FindFirstFileW(winpath::ForFileCall(exactPath(search + L"*")).c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES && !namesFile(directory))
      state_->error = systemErrorText(error);
    return;
  }
  do {
    state_->starts.push_back(static_cast<uint32_t>(state_->names.size()));
    state_->names.append(data.cFileName).push_back(L'\0');
    state_->kinds.push_back(kindOf(data));
  } while (FindNextFileW(handle, &data));
  DWORD error = GetLastError();
  if (error != ERROR_NO_MORE_FILES)
    state_->error = systemErrorText(error);
  FindClose(handle);
}

DirectorySearch::~DirectorySearch() = default;

size_t DirectorySearch::size() const {
  return state_->starts.size();
}

std::wstring DirectorySearch::name(size_t entry) const {
  return state_->names.c_str() + state_->starts[entry];
}

EntryKind DirectorySearch::kind(size_t entry) const {
  return state_->kinds[entry];
}

const std::wstring& DirectorySearch::error() const {
  return state_->error;
}

}  // namespace os
