#include "staging_file.h"

#include <windows.h>

#include "file_probe.h"
#include "last_error.h"
#include "scratch_win32.h"
#include "win_path.h"

namespace {

const wchar_t kStagingRole[] = L"docmark-tmp";

}  // namespace

StagingFile::StagingFile(const PathChar* target) {
  // The staging file's name is made from the target's exact path: a `\\?\`
  // one keeps a trailing dot, and a short name is taken in its long form.
  std::wstring exact = winpath::Exact(target);
  if (exact.empty())
    return;
  std::wstring name;
  HANDLE file = scratch::Create(exact, kStagingRole, GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN, name);
  if (file == INVALID_HANDLE_VALUE)
    return;
  // The write needs no handle of ours: the library writes the file in place
  // and patches it into the target's.
  if (CloseHandle(file)) {
    path_ = name;
  } else {
    lasterror::Keep keep;
    DeleteFileW(name.c_str());
  }
}

StagingFile::~StagingFile() {
  // Gone already when the second pass made it the target.
  lasterror::Keep keep;
  if (!path_.empty())
    DeleteFileW(path_.c_str());
}

int64_t StagingFile::Size() const {
  int64_t size = 0;
  return FindEntry(path_.c_str(), &size) ? size : -1;
}

void RestoreLostTarget(const PathChar* target,
                       const std::function<bool(const PathChar*)>& finished) {
  lasterror::Keep keep;
  std::wstring exact = winpath::Exact(target);
  if (exact.empty() || GetFileAttributesW(exact.c_str()) != INVALID_FILE_ATTRIBUTES ||
      GetLastError() != ERROR_FILE_NOT_FOUND)
    return;
  for (const std::wstring& staging : scratch::Abandoned(exact, kStagingRole)) {
    // A file that took the name meanwhile stays; the copy becomes an
    // ordinary file only once it has the name.
    if (finished(staging.c_str()) &&
        MoveFileExW(staging.c_str(), exact.c_str(), MOVEFILE_WRITE_THROUGH)) {
      SetFileAttributesW(exact.c_str(), FILE_ATTRIBUTE_NORMAL);
      return;
    }
  }
}
