#include "host_platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "utf8.h"
#include "win_console.h"
#include "win_path.h"

// Beside the program, with DL100PDFL.dll.
const char kDocmarkName[] = "docmark.dll";
const char kPathSeparator = '\\';

namespace {

// In UTF-8, as the host prints everything, whatever the code page.
std::string SystemMessage(DWORD code) {
  wchar_t* reason = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&reason), 0, nullptr);
  std::string text = length ? utf8::EncodeLossless(std::wstring_view(reason, length))
                            : "error " + std::to_string(code);
  if (reason)
    LocalFree(reason);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
    text.pop_back();
  return text;
}

// A path from the command line as the file functions take it, at any length.
std::wstring Wide(const std::string& path) {
  return winpath::ForFileCall(utf8::DecodeLossless<std::wstring>(path));
}

}  // namespace

void* OpenDocmark(std::string& error) {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"docmark.dll";
  HMODULE library = LoadLibraryW(path.c_str());
  if (!library)
    error = utf8::EncodeLossless(path) + ": " + SystemMessage(GetLastError());
  return library;
}

void* FindFunction(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseDocmark(void* library) {
  FreeLibrary(static_cast<HMODULE>(library));
}

std::basic_string<DocmarkPathChar> LibraryPath(const char* argument) {
  return utf8::DecodeLossless<std::basic_string<DocmarkPathChar>>(argument);
}

namespace {

// The reasons the host names read as on POSIX; others as Windows words them.
FileCheck FromLastError(DWORD code, bool writing) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return {FileState::kNotFound, "No such file or directory"};
    case ERROR_ACCESS_DENIED:
      return writing ? FileCheck{FileState::kNotWritable, "not writable"}
                     : FileCheck{FileState::kNotReadable, "Permission denied"};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return {FileState::kInUse, "in use by another program"};
  }
  return {FileState::kOther, SystemMessage(code)};
}

}  // namespace

FileCheck CheckFileKind(const char* path) {
  DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return FromLastError(GetLastError(), false);
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    return {FileState::kDirectory, "Is a directory"};
  if (attributes & FILE_ATTRIBUTE_DEVICE)
    return {FileState::kNotAFile, "not a regular file"};
  return {};
}

// Opened as a save would need it, sharing everything, so that only another
// program's lock stands in the way.
FileCheck CheckFileAccess(const char* path, bool writing) {
  std::wstring wide = Wide(path);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return FromLastError(GetLastError(), false);
  CloseHandle(file);
  if (!writing)
    return {};
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return {FileState::kNotWritable, "not writable"};
  file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                     OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return FromLastError(GetLastError(), true);
  CloseHandle(file);
  return {};
}

bool ReadFileEnds(const char* path, size_t length, std::string& head, std::string& tail) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  LARGE_INTEGER size;
  bool read = GetFileSizeEx(file, &size) != 0;
  long long total = read ? size.QuadPart : 0;
  head.resize(static_cast<size_t>(std::min<long long>(total, length)));
  tail.resize(total > static_cast<long long>(length) ? length : 0);
  auto readAt = [&](std::string& part, long long offset) {
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD got = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
           ReadFile(file, part.data(), static_cast<DWORD>(part.size()), &got, nullptr) &&
           got == part.size();
  };
  read = read && readAt(head, 0) && readAt(tail, total - static_cast<long long>(tail.size()));
  CloseHandle(file);
  return read;
}

bool IsDirectory(const char* path) {
  DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadDirectory(const std::string& path, std::vector<DirectoryEntry>& entries,
                   FileCheck& error) {
  std::wstring pattern = utf8::DecodeLossless<std::wstring>(path);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/')
    pattern += L'\\';
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(winpath::ForFileCall(pattern + L"*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) {
    error = FromLastError(GetLastError(), false);
    return false;
  }
  do {
    std::string name = utf8::EncodeLossless(std::wstring_view(data.cFileName));
    if (name == "." || name == "..")
      continue;
    // A directory link or junction is not entered, as on POSIX.
    bool isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                       !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    entries.push_back({name, isDirectory});
  } while (FindNextFileW(search, &data));
  DWORD code = GetLastError();
  FindClose(search);
  if (code != ERROR_NO_MORE_FILES) {
    error = FromLastError(code, false);
    return false;
  }
  return true;
}

bool ErrorIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

// A console is given the text as UTF-16, which it shows whatever its code
// page; a file or a pipe gets the UTF-8 itself.
void WriteText(Stream stream, const std::string& text) {
  FILE* file = stream == Stream::kOut ? stdout : stderr;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  fflush(file);
  if (winconsole::Write(handle, utf8::DecodeLossless<std::wstring>(text)))
    return;
  if (fwrite(text.data(), 1, text.size(), file) == text.size())
    fflush(file);
}

struct StopRequests::Watch {
  std::function<void()> onStop;
  std::atomic<DWORD> event{kNone};
  static const DWORD kNone = ~DWORD(0);
};

namespace {

// The console's handler has no object to reach.
std::atomic<StopRequests::Watch*> activeWatch{nullptr};

// Runs on a thread the system starts. A second request is left to the
// default handler, which ends the program.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  StopRequests::Watch* watch = activeWatch;
  if (!watch || (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT))
    return FALSE;
  DWORD none = StopRequests::Watch::kNone;
  if (!watch->event.compare_exchange_strong(none, event))
    return FALSE;
  watch->onStop();
  return TRUE;
}

}  // namespace

StopRequests::StopRequests(std::function<void()> onStop) : watch_(new Watch) {
  watch_->onStop = std::move(onStop);
  activeWatch = watch_.get();
  if (!SetConsoleCtrlHandler(OnConsoleEvent, TRUE))
    activeWatch = nullptr;  // Ctrl-C then ends the program, which a save survives
}

StopRequests::~StopRequests() {
  if (activeWatch) {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    activeWatch = nullptr;
  }
}

std::string StopRequests::received() const {
  switch (watch_->event) {
    case CTRL_C_EVENT:
      return "Ctrl-C";
    case CTRL_BREAK_EVENT:
      return "Ctrl-Break";
  }
  return "";
}

void StopRequests::EndAsRequested() {
  ExitProcess(STATUS_CONTROL_C_EXIT);
}

// The arguments come as UTF-16 and go on as UTF-8, which is also what the
// host prints.
int wmain(int argc, wchar_t* argv[]) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i)
    arguments.push_back(utf8::EncodeLossless(std::wstring_view(argv[i])));
  std::vector<char*> pointers;
  for (std::string& argument : arguments)
    pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return HostMain(argc, pointers.data());
}
