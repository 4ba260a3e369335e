// Paths of any length for the Win32 file functions. A path is resolved to
// its full form before anything is replaced or renamed by name, since a
// relative name is taken from the current directory at each call; and a
// full path too long for the ordinary form goes in the `\\?\` form, which
// the file functions take up to 32,767 units whatever the system's settings.
#ifndef SUPPORT_WIN_PATH_H
#define SUPPORT_WIN_PATH_H

#include <windows.h>

#include <string>

#include "last_error.h"

namespace winpath {

// The full path of `path`, with `.` and `..` resolved and `/` made `\`;
// empty when the system cannot resolve it.
inline std::wstring Full(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (length == 0)
      return std::wstring();
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);  // the size it needs, its NUL included
  }
}

// A full path in the `\\?\` form (`\\?\UNC\` for a share), which every name
// made from it by appending keeps, however long it grows.
inline std::wstring LongForm(const std::wstring& full) {
  // Already long, or a device's.
  if (full.empty() || full.compare(0, 4, L"\\\\?\\") == 0 || full.compare(0, 4, L"\\\\.\\") == 0)
    return full;
  if (full.compare(0, 2, L"\\\\") == 0)
    return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// The file that `path` names, in the form in which a file made or replaced
// by it keeps its name: a `\\?\` path as it stands, since any other form loses
// a trailing dot or blank on the way; any other path made full and long;
// and an existing file given by its short (8.3) name under its long name,
// which a replace through the short one would drop. Empty when the path
// cannot be resolved. Leaves the thread's last error as it was.
inline std::wstring Exact(const std::wstring& path) {
  lasterror::Keep keep;
  std::wstring exact = path.compare(0, 4, L"\\\\?\\") == 0 ? path : LongForm(Full(path));
  if (exact.empty())
    return exact;
  std::wstring longName(exact.size() + 1, L'\0');
  for (;;) {
    DWORD length =
        GetLongPathNameW(exact.c_str(), &longName[0], static_cast<DWORD>(longName.size()));
    if (length == 0)
      return exact;  // no such file yet: its name is as given
    if (length < longName.size()) {
      longName.resize(length);
      return longName;
    }
    longName.resize(length);
  }
}

// `path` as a file function takes it at any length: the ordinary form while
// it is short enough (so that device names such as NUL keep their meaning),
// else its full path in the long form. Empty when the path cannot be
// resolved.
inline std::wstring ForFileCall(const std::wstring& path) {
  // Directories are created with 12 units less than MAX_PATH to spare.
  const size_t kOrdinaryLimit = MAX_PATH - 12;
  return path.size() < kOrdinaryLimit ? path : LongForm(Full(path));
}

}  // namespace winpath

#endif
