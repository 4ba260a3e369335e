#include "system.h"

#include <windows.h>
#include <shlwapi.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "held_output.h"

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

namespace {

// Console control handlers are process-wide, so these are too. They run on
// a thread of their own. `pendingResults` counts the commands started
// several at a time whose results are not all written yet.
volatile LONG pendingResults = 0;
volatile LONG interruptedBy = 0;

// The exit status of a process that Ctrl-C ended.
const UINT kControlCExit = 0xC000013A;

// Ctrl-C and Ctrl-Break reach every process of the console, the commands
// too. While commands started several at a time have results pending, we
// stay to write them; otherwise the default handler ends us, as always.
BOOL WINAPI onConsoleInterrupt(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (InterlockedCompareExchange(&pendingResults, 0, 0) == 0) return FALSE;
  InterlockedExchange(&interruptedBy, static_cast<LONG>(event) + 1);
  return TRUE;
}

// What _wsystem runs: the interpreter that COMSPEC names, else cmd.exe.
std::wstring interpreter() {
  const wchar_t* comspec = _wgetenv(L"COMSPEC");
  return comspec && *comspec ? comspec : L"cmd.exe";
}

// The interpreter's command line as _wsystem builds it: the program, "/c"
// and the line, joined by blanks (the program quoted when it has blanks).
std::wstring interpreterLine(const std::wstring& program, const std::wstring& commandLine) {
  bool blanks = program.find(L' ') != std::wstring::npos;
  std::wstring quoted = blanks ? L"\"" + program + L"\"" : program;
  return quoted + L" /c " + commandLine;
}

struct Reader {
  HANDLE pipe;
  HeldOutput* held;
};

// Reads a pipe to its end on a thread of its own: anonymous pipes offer
// nothing to wait on, and a command must never wait for us to read.
DWORD WINAPI readToEnd(void* argument) {
  Reader* reader = static_cast<Reader*>(argument);
  char buffer[16 * 1024];
  DWORD n = 0;
  while (ReadFile(reader->pipe, buffer, sizeof buffer, &n, nullptr) && n > 0)
    reader->held->append(buffer, n);
  CloseHandle(reader->pipe);
  return 0;
}

}  // namespace

// One at a time, Windows keeps _wsystem, and Ctrl-C ends us together with
// the command.
struct CommandRunner::State {
  // A command of several at a time, with the threads that read its pipes.
  struct Job {
    HANDLE process = nullptr;  // Null when nothing could be started.
    HANDLE threads[2] = {nullptr, nullptr};
    Reader readers[2];
    HeldOutput held[2];
    bool ended = false;
  };
  std::vector<std::unique_ptr<Job>> jobs;  // By number; null when free.

  bool create(const std::wstring& program, const std::wstring& commandLine, HANDLE input,
              HANDLE output, HANDLE errors, HANDLE& process);
  static void close(Job& job);
};

CommandRunner::CommandRunner() : state_(new State) {
  SetConsoleCtrlHandler(onConsoleInterrupt, TRUE);
}

CommandRunner::~CommandRunner() {
  for (auto& job : state_->jobs)
    if (job) State::close(*job);
  SetConsoleCtrlHandler(onConsoleInterrupt, FALSE);
}

int CommandRunner::run(const std::wstring& commandLine) {
  fflush(stdout);
  fflush(stderr);
  return _wsystem(commandLine.c_str());
}

// Waits for the command and its readers, and lets go of their handles.
void CommandRunner::State::close(Job& job) {
  if (job.process) {
    WaitForSingleObject(job.process, INFINITE);
    CloseHandle(job.process);
    job.process = nullptr;
  }
  for (HANDLE& thread : job.threads) {
    if (!thread) continue;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    thread = nullptr;
  }
}

bool CommandRunner::State::create(const std::wstring& program, const std::wstring& commandLine,
                                  HANDLE input, HANDLE output, HANDLE errors, HANDLE& process) {
  std::wstring line = interpreterLine(program, commandLine);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = errors;
  PROCESS_INFORMATION created = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &created))
    return false;
  CloseHandle(created.hThread);
  process = created.hProcess;
  return true;
}

// Only this thread starts commands, and it closes a command's ends of its
// pipes before the next starts, so no command inherits another's.
int CommandRunner::start(const std::wstring& commandLine) {
  State& s = *state_;
  if (InterlockedCompareExchange(&interruptedBy, 0, 0) != 0) return -1;
  auto job = std::make_unique<State::Job>();
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  HANDLE reads[2] = {nullptr, nullptr}, writes[2] = {nullptr, nullptr};
  HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                             OPEN_EXISTING, 0, nullptr);
  bool ready = input != INVALID_HANDLE_VALUE;
  for (int stream = 0; stream < 2 && ready; ++stream) {
    ready = CreatePipe(&reads[stream], &writes[stream], &inherited, 0) &&
            SetHandleInformation(reads[stream], HANDLE_FLAG_INHERIT, 0);
  }
  InterlockedIncrement(&pendingResults);
  if (ready) {
    std::wstring program = interpreter();
    ready = s.create(program, commandLine, input, writes[0], writes[1], job->process) ||
            (program != L"cmd.exe" &&
             s.create(L"cmd.exe", commandLine, input, writes[0], writes[1], job->process));
  }
  if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
  for (int stream = 0; stream < 2; ++stream) {
    if (writes[stream]) CloseHandle(writes[stream]);
    if (!reads[stream]) continue;
    if (!ready) {
      CloseHandle(reads[stream]);
      continue;
    }
    job->readers[stream] = {reads[stream], &job->held[stream]};
    job->threads[stream] = CreateThread(nullptr, 0, readToEnd, &job->readers[stream], 0, nullptr);
    if (!job->threads[stream]) readToEnd(&job->readers[stream]);
  }
  size_t number = 0;
  while (number < s.jobs.size() && s.jobs[number]) ++number;
  if (number == s.jobs.size()) s.jobs.emplace_back();
  s.jobs[number] = std::move(job);
  return static_cast<int>(number);
}

// WaitForMultipleObjects takes at most 64 handles: more commands are waited
// for in groups of 64, each in turn for a moment.
int CommandRunner::wait(int& exitCode) {
  State& s = *state_;
  std::vector<HANDLE> processes;
  std::vector<int> numbers;
  for (size_t number = 0; number < s.jobs.size(); ++number) {
    State::Job* job = s.jobs[number].get();
    if (!job || job->ended) continue;
    if (!job->process) {
      job->ended = true;
      exitCode = -1;
      return static_cast<int>(number);
    }
    processes.push_back(job->process);
    numbers.push_back(static_cast<int>(number));
  }
  if (processes.empty()) return -1;
  const size_t kGroup = MAXIMUM_WAIT_OBJECTS;
  for (;;) {
    for (size_t first = 0; first < processes.size(); first += kGroup) {
      DWORD count = static_cast<DWORD>(std::min(kGroup, processes.size() - first));
      DWORD result = WaitForMultipleObjects(count, &processes[first], FALSE,
                                            processes.size() <= kGroup ? INFINITE : 10);
      if (result >= WAIT_OBJECT_0 + count) continue;
      State::Job& job = *s.jobs[numbers[first + result - WAIT_OBJECT_0]];
      DWORD code = static_cast<DWORD>(-1);
      GetExitCodeProcess(job.process, &code);
      State::close(job);
      job.ended = true;
      exitCode = static_cast<int>(code);
      return numbers[first + result - WAIT_OBJECT_0];
    }
  }
}

void CommandRunner::writeOutput(int command) {
  std::unique_ptr<State::Job>& job = state_->jobs[command];
  writeHeld(job->held);
  job.reset();
  InterlockedDecrement(&pendingResults);
}

bool CommandRunner::interrupted() const {
  return InterlockedCompareExchange(&interruptedBy, 0, 0) != 0;
}

void CommandRunner::endByInterrupt() { ExitProcess(kControlCExit); }

void writeError(const std::wstring& text) { fputws(text.c_str(), stderr); }

bool appendWhole(const std::wstring& path, const std::string& bytes, std::wstring& reason) {
  int fd = _wopen(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
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
    if (error != 0 && _chsize_s(fd, before) != 0) error = errno;
  }
  if (_close(fd) != 0 && error == 0) error = errno;
  if (error != 0) reason = _wcserror(error);
  return error == 0;
}

std::string utf16leBytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// In the user's temporary folder, removed by the system when closed.
std::FILE* temporaryFile() {
  wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH || GetTempFileNameW(folder, L"we", 0, name) == 0)
    return nullptr;
  std::FILE* file = _wfopen(name, L"w+bD");
  if (!file) DeleteFileW(name);
  return file;
}

void writeStandard(int stream, const char* data, size_t size) {
  HANDLE handle = GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, data, static_cast<DWORD>(size), &written, nullptr) || written == 0)
      return;
    data += written;
    size -= written;
  }
}

}  // namespace platform
