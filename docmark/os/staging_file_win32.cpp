#include "staging_file.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

#include "file_probe.h"
#include "win_path.h"

namespace {

const wchar_t kStagingSuffix[] = L".docmark-tmp";

// Whether process `id` still runs. One that cannot be asked (another user's)
// counts as running, so that its files are left alone.
bool IsRunning(DWORD id) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (!process)
    return GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  bool running = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
  CloseHandle(process);
  return running;
}

// Removes the staging files of `prefix` (".NAME." in the target's
// directory) that a write killed midway left: those whose process has ended.
void RemoveLeftStagingFiles(const std::wstring& directory, const std::wstring& prefix) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((directory + prefix + L"*" + kStagingSuffix).c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE)
    return;
  do {
    std::wstring name = entry.cFileName;
    if (name.compare(0, prefix.size(), prefix) != 0)
      continue;  // a short name's match
    wchar_t* end = nullptr;
    unsigned long id = std::wcstoul(name.c_str() + prefix.size(), &end, 10);
    if (*end == L'-' && id != GetCurrentProcessId() && !IsRunning(id))
      DeleteFileW((directory + name).c_str());
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

}  // namespace

StagingFile::StagingFile(const PathChar* target) {
  // In the long form, which the staging file's longer name needs even
  // where the target's fits the ordinary one.
  std::wstring full = winpath::LongForm(winpath::Full(target));
  size_t separator = full.find_last_of(L'\\');
  if (full.empty() || separator == std::wstring::npos)
    return;
  std::wstring directory = full.substr(0, separator + 1);
  std::wstring prefix = L"." + full.substr(separator + 1) + L".";
  RemoveLeftStagingFiles(directory, prefix);
  // The process and a serial tell this write's file from those of other
  // writes of the same target running at the same moment. The stand-in of
  // the PDF library writes a file of this name in place, and patches it in
  // place into the target's, so that a write costs one copy.
  static std::atomic<unsigned> serial{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring name = directory + prefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(serial++) + kStagingSuffix;
    HANDLE file =
        CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      // The write needs no handle of ours: the library replaces the target
      // with this file, which it may not do while another handle is open.
      if (CloseHandle(file))
        path_ = name;
      else
        DeleteFileW(name.c_str());
      return;
    }
    if (GetLastError() != ERROR_FILE_EXISTS)
      return;
  }
}

StagingFile::~StagingFile() {
  // Gone already when the second pass made it the target.
  if (!path_.empty())
    DeleteFileW(path_.c_str());
}

int64_t StagingFile::Size() const {
  int64_t size = 0;
  return FindEntry(path_.c_str(), &size) ? size : -1;
}
