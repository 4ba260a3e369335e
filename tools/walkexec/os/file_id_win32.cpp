#include "file_id.h"

#include <windows.h>

#include "exact_path.h"
#include "win_path.h"

namespace os {

// Opened for its attributes alone, which any other opener allows; a
// directory opens only with backup semantics.
bool fileId(const std::wstring& path, FileId& id) {
  HANDLE file = CreateFileW(winpath::ForFileCall(exactPath(path)).c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  BY_HANDLE_FILE_INFORMATION information;
  bool known = GetFileInformationByHandle(file, &information) != FALSE;
  CloseHandle(file);  // Only its attributes were read: nothing to lose.
  id.device = information.dwVolumeSerialNumber;
  id.inode = (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) |
             information.nFileIndexLow;
  return known;
}

// The same full path, names compared without regard to case, as the file
// system compares them.
bool sameNewFile(const std::wstring& first, const std::wstring& second) {
  std::wstring firstFull = winpath::Full(first), secondFull = winpath::Full(second);
  return CompareStringOrdinal(firstFull.c_str(), static_cast<int>(firstFull.size()),
                              secondFull.c_str(), static_cast<int>(secondFull.size()),
                              TRUE) == CSTR_EQUAL;
}

}  // namespace os
