#include "directory_search.h"

#include <windows.h>

#include "error_text.h"
#include "win_path.h"

namespace os {

const wchar_t kPathSeparator = L'\\';

struct DirectorySearch::State {
  HANDLE handle = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data;
  bool firstPending = false;  // FindFirstFileW has filled the first entry.
  std::wstring error;
};

namespace {

// Whether the directory part of a search path names a file: a search in it
// fails as in a missing directory.
bool namesFile(const std::wstring& searchPath) {
  size_t cut = searchPath.find_last_of(L"\\/");
  if (cut == std::wstring::npos)
    return false;
  DWORD attributes = GetFileAttributesW(winpath::ForFileCall(searchPath.substr(0, cut)).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// No match in a directory that exists is no failure.
DirectorySearch::DirectorySearch(const std::wstring& searchPath) : state_(new State) {
  state_->handle = FindFirstFileW(winpath::ForFileCall(searchPath).c_str(), &state_->data);
  state_->firstPending = state_->handle != INVALID_HANDLE_VALUE;
  DWORD error = state_->firstPending ? ERROR_SUCCESS : GetLastError();
  if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES &&
      !namesFile(searchPath))
    state_->error = systemErrorText(error);
}

DirectorySearch::~DirectorySearch() {
  if (state_->handle != INVALID_HANDLE_VALUE)
    FindClose(state_->handle);
}

bool DirectorySearch::next(DirectoryEntry& entry) {
  if (state_->handle == INVALID_HANDLE_VALUE)
    return false;
  if (state_->firstPending) {
    state_->firstPending = false;
  } else if (!FindNextFileW(state_->handle, &state_->data)) {
    DWORD error = GetLastError();
    if (error != ERROR_NO_MORE_FILES)
      state_->error = systemErrorText(error);
    return false;
  }
  entry.name = state_->data.cFileName;
  entry.isDirectory = (state_->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

const std::wstring& DirectorySearch::error() const {
  return state_->error;
}

}  // namespace os
