#include "system.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdlib>

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
  if (__wgetmainargs(&argc, &argv, &env, 0, &info) != 0) return arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(argv[i]);
  return arguments;
}

struct DirectorySearch::State {
  HANDLE handle = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data;
  bool firstPending = false;  // FindFirstFileW has filled the first entry.
};

DirectorySearch::DirectorySearch(const std::wstring& searchPath) : state_(new State) {
  state_->handle = FindFirstFileW(searchPath.c_str(), &state_->data);
  state_->firstPending = state_->handle != INVALID_HANDLE_VALUE;
}

DirectorySearch::~DirectorySearch() {
  if (state_->handle != INVALID_HANDLE_VALUE) FindClose(state_->handle);
}

bool DirectorySearch::next(DirectoryEntry& entry) {
  if (state_->handle == INVALID_HANDLE_VALUE) return false;
  if (state_->firstPending)
    state_->firstPending = false;
  else if (!FindNextFileW(state_->handle, &state_->data))
    return false;
  entry.name = state_->data.cFileName;
  entry.isDirectory = (state_->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

bool shellMatch(const std::wstring& name, const std::wstring& patterns) {
  return PathMatchSpecW(name.c_str(), patterns.c_str()) != FALSE;
}

bool directoryId(const std::wstring&, DirectoryId&) { return false; }

unsigned long long systemTimeNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

std::wstring quotePath(const std::wstring& path) { return L"\"" + path + L"\""; }

int runCommandLine(const std::wstring& commandLine) {
  fflush(stdout);
  fflush(stderr);
  return _wsystem(commandLine.c_str());
}

void writeError(const std::wstring& text) { fputws(text.c_str(), stderr); }

FILE* openForAppend(const std::wstring& path) { return _wfopen(path.c_str(), L"ab"); }

std::string utf16leBytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

}  // namespace platform
