// Named scratch files beside a target on Windows: ".NAME.PROCESS-SERIAL.ROLE"
// in the target's directory, made by the process the name holds. A writer
// killed while one of them has a name leaves it behind, and the next writer
// of the same target, finding that the process has ended, removes it.
// Windows has no file without a name and no lock that goes with its holder's
// death, so the process in the name tells a running writer's file from an
// abandoned one. Every function leaves the thread's last error as it was,
// except where it says it fails.
#ifndef SUPPORT_SCRATCH_WIN32_H
#define SUPPORT_SCRATCH_WIN32_H

#include <windows.h>

#include <atomic>
#include <cwchar>
#include <string>
#include <vector>

#include "last_error.h"

namespace scratch {

// Whether process `id` still runs. One that cannot be asked (another user's)
// counts as running, so that its files are left alone.
inline bool IsRunning(DWORD id) {
  lasterror::Keep keep;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (!process)
    return GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  bool running = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
  CloseHandle(process);
  return running;
}

// The directory part of a full path, with its separator, and the ".NAME."
// that begins the names of its target's scratch files; both empty for a
// path without a separator.
inline void Split(const std::wstring& target, std::wstring& directory, std::wstring& prefix) {
  size_t separator = target.find_last_of(L'\\');
  directory = separator == std::wstring::npos ? L"" : target.substr(0, separator + 1);
  prefix = separator == std::wstring::npos ? L"" : L"." + target.substr(separator + 1) + L".";
}

// The full paths of the scratch files of `role` beside `target` (a full
// path) whose process has ended, the calling one's aside.
inline std::vector<std::wstring> Abandoned(const std::wstring& target, const std::wstring& role) {
  lasterror::Keep keep;
  std::vector<std::wstring> found;
  std::wstring directory, prefix;
  Split(target, directory, prefix);
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((directory + prefix + L"*." + role).c_str(), &entry);
  if (directory.empty() || search == INVALID_HANDLE_VALUE)
    return found;
  do {
    std::wstring name = entry.cFileName;
    if (name.compare(0, prefix.size(), prefix) != 0)
      continue;  // a short name's match
    wchar_t* end = nullptr;
    unsigned long id = std::wcstoul(name.c_str() + prefix.size(), &end, 10);
    if (*end == L'-' && id != GetCurrentProcessId() && !IsRunning(id))
      found.push_back(directory + name);
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return found;
}

// A new scratch file of `role` beside `target` (a full path), its name in
// *name, after removing those a killed writer left. INVALID_HANDLE_VALUE,
// with the system's reason as the last error, when none can be made.
inline HANDLE Create(const std::wstring& target, const std::wstring& role, DWORD access,
                     DWORD share, DWORD attributes, std::wstring& name) {
  for (const std::wstring& left : Abandoned(target, role)) {
    lasterror::Keep keep;
    DeleteFileW(left.c_str());
  }
  std::wstring directory, prefix;
  Split(target, directory, prefix);
  if (directory.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  // The serial tells this process's files apart when it writes one target
  // from several threads at once.
  static std::atomic<unsigned> serial{0};
  lasterror::Keep keep;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = directory + prefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(serial++) + L"." + role;
    HANDLE file =
        CreateFileW(name.c_str(), access, share, nullptr, CREATE_NEW, attributes, nullptr);
    if (file != INVALID_HANDLE_VALUE)
      return file;
    if (GetLastError() != ERROR_FILE_EXISTS)
      break;
  }
  keep.Dismiss();
  return INVALID_HANDLE_VALUE;
}

}  // namespace scratch

#endif
