#include "system.h"

#include <shlwapi.h>
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "error_win32.h"
#include "held_output.h"
#include "win_console.h"
#include "win_path.h"

// The C runtime's own splitting of the command line into wide arguments,
// the one a wide main receives.
struct StartupInfo {
  int newMode;
};
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env, int expandWildcards,
                              StartupInfo* info);

namespace platform {

const wchar_t kPathSeparator = L'\\';

std::vector<std::wstring> wideArguments(int, char*[]) {
  int argc = 0;
  wchar_t** argv = nullptr;
  wchar_t** env = nullptr;
  StartupInfo info = {0};
  std::vector<std::wstring> arguments;
  if (__wgetmainargs(&argc, &argv, &env, 0, &info) != 0)
    return arguments;
  for (int i = 0; i < argc; ++i)
    arguments.push_back(argv[i]);
  return arguments;
}

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

bool shellMatch(const std::wstring& name, const std::wstring& patterns) {
  return PathMatchSpecW(name.c_str(), patterns.c_str()) != FALSE;
}

bool directoryId(const std::wstring&, DirectoryId&) {
  return false;
}

unsigned long long systemTimeNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

std::wstring quotePath(const std::wstring& path) {
  return L"\"" + path + L"\"";
}

namespace {

std::string utf8Bytes(const std::wstring& text) {
  if (text.empty())
    return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size,
                      nullptr, nullptr);
  return bytes;
}

}  // namespace

// On a console the text goes to the console as it is, which shows every
// character; elsewhere (a file, a pipe) as UTF-8 with CR LF line ends, as a
// text stream writes them. The C runtime's wide stream would stop at the
// first character the C locale cannot convert.
void writeError(const std::wstring& text) {
  std::fflush(stderr);
  if (winconsole::Write(GetStdHandle(STD_ERROR_HANDLE), text))
    return;
  std::string bytes;
  for (char c : utf8Bytes(text)) {
    if (c == '\n')
      bytes += '\r';
    bytes += c;
  }
  writeStandard(2, bytes.data(), bytes.size());
}

bool appendWhole(const std::wstring& path, const std::string& bytes, std::wstring& reason) {
  int fd = _wopen(winpath::ForFileCall(path).c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY,
                  _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    reason = _wcserror(errno);
    return false;
  }
  long long before = _filelengthi64(fd);
  int error = before < 0 ? errno : 0;
  if (error == 0) {
    int written = _write(fd, bytes.data(), static_cast<unsigned>(bytes.size()));
    if (written < 0) {
      error = errno;
    } else if (static_cast<size_t>(written) < bytes.size()) {
      // A file takes less than it is given only when its disk is full.
      error = ENOSPC;
    }
    if (error != 0 && _chsize_s(fd, before) != 0)
      error = errno;
  }
  if (_close(fd) != 0 && error == 0)
    error = errno;
  if (error != 0)
    reason = _wcserror(error);
  return error == 0;
}

bool readWhole(const std::wstring& path, std::string& bytes, std::wstring& reason) {
  bytes.clear();
  int fd = _wopen(winpath::ForFileCall(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0 && errno == ENOENT)
    return true;
  if (fd < 0) {
    reason = errorText(errno);
    return false;
  }
  struct _stati64 info;
  int error = _fstati64(fd, &info) == 0 ? 0 : errno;
  if (error == 0 && (info.st_mode & _S_IFMT) != _S_IFREG)
    reason = L"not a regular file";
  char buffer[64 * 1024];
  for (int n; error == 0 && reason.empty() && (n = _read(fd, buffer, sizeof buffer)) != 0;) {
    if (n < 0)
      error = errno;
    else
      bytes.append(buffer, static_cast<size_t>(n));
  }
  _close(fd);  // Only read from: nothing to lose.
  if (error != 0)
    reason = errorText(error);
  return reason.empty();
}

bool truncateFile(const std::wstring& path, unsigned long long size, std::wstring& reason) {
  int fd = _wopen(winpath::ForFileCall(path).c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
  int error = fd < 0 ? errno : _chsize_s(fd, static_cast<long long>(size));
  if (fd >= 0 && _close(fd) != 0 && error == 0)
    error = errno;
  if (error != 0)
    reason = errorText(error);
  return error == 0;
}

std::wstring errorText(int error) {
  return _wcserror(error);
}

std::wstring systemErrorText(unsigned long error) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring result = length ? std::wstring(text, length) : L"error " + std::to_wstring(error);
  if (text)
    LocalFree(text);
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r'))
    result.pop_back();
  return result;
}

std::string utf16leBytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

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

// Win32 errors as the C runtime numbers them, for the few a write meets.
int writeStandard(int stream, const char* data, size_t size) {
  HANDLE handle = GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (handle == INVALID_HANDLE_VALUE || !handle)
    return 0;  // No such stream: nothing is shown, as when it is NUL.
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, data, static_cast<DWORD>(size), &written, nullptr)) {
      DWORD error = GetLastError();
      if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA)
        return EPIPE;
      return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? ENOSPC : EIO;
    }
    if (written == 0)
      return ENOSPC;
    data += written;
    size -= written;
  }
  return 0;
}

}  // namespace platform
