#include "temporary_file.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "win_path.h"

namespace os {

// In the user's temporary folder, whatever the length of its path, removed
// by the system when closed, and opened without inheritance: a command
// started meanwhile must not hold it.
std::FILE* temporaryFile() {
  std::wstring folder(MAX_PATH + 1, L'\0');
  DWORD length = GetTempPathW(static_cast<DWORD>(folder.size()), &folder[0]);
  if (length > folder.size()) {
    folder.resize(length);
    length = GetTempPathW(length, &folder[0]);
  }
  if (length == 0 || length >= folder.size())
    return nullptr;
  folder.resize(length);
  static std::atomic<unsigned> serial{0};
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
    std::wstring name = folder + L"walkexec-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(serial++) + L".tmp";
    handle =
        CreateFileW(winpath::ForFileCall(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
      return nullptr;
  }
  if (handle == INVALID_HANDLE_VALUE)
    return nullptr;
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "w+b");
  if (!file)
    _close(fd);
  return file;
}

}  // namespace os
