// The runner of walkexec's commands on Windows: _wsystem one at a time,
// CreateProcessW with held output several at a time.
#include "command_runner.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "console.h"
#include "descriptor_budget.h"
#include "error_text.h"
#include "held_output.h"
#include "interrupts.h"

namespace os {

namespace {

// Starting a process fails now and then for a moment while the system is
// busy (seen under Wine, as an invalid parameter from the interpreter's
// start): a start is tried again a little later, three times in all,
// before it counts as failed.
const int kStartTries = 3;
const DWORD kStartPause = 50;  // milliseconds, times the tries so far

// What _wsystem runs: the interpreter that COMSPEC names, else cmd.exe.
std::wstring interpreter() {
  const wchar_t* comspec = _wgetenv(L"COMSPEC");
  return comspec && *comspec ? comspec : L"cmd.exe";
}

// The line as the interpreter takes it, wrapped in one more pair of quotes:
// "cmd /c" drops the first and the last quote of the line it is given, so
// that a line starting with a quoted program ("C:\Program Files\tool.exe"
// "C:\a b.pdf") runs as typed at a prompt, as "cmd /s /c" runs it.
std::wstring wrappedLine(const std::wstring& commandLine) {
  return L"\"" + commandLine + L"\"";
}

// The interpreter's command line as _wsystem builds it: the program, "/c"
// and the wrapped line, joined by blanks (the program quoted when it has
// blanks).
std::wstring interpreterLine(const std::wstring& program, const std::wstring& commandLine) {
  bool blanks = program.find(L' ') != std::wstring::npos;
  std::wstring quoted = blanks ? L"\"" + program + L"\"" : program;
  return quoted + L" /c " + wrappedLine(commandLine);
}

// How often a reader that a process left behind keeps busy is asked to stop.
const DWORD kStopAgain = 10;  // milliseconds

struct Reader {
  HANDLE pipe = nullptr;
  HeldOutput* held = nullptr;
  volatile LONG stopping = 0;  // The command has ended.
};

// What the pipe holds, read once the command has ended.
void readWhatIsHeld(Reader& reader) {
  DWORD held = 0;
  if (!PeekNamedPipe(reader.pipe, nullptr, 0, nullptr, &held, nullptr) || held == 0)
    return;
  std::vector<char> buffer(held);
  DWORD n = 0;
  if (ReadFile(reader.pipe, buffer.data(), held, &n, nullptr))
    reader.held->append(buffer.data(), n);
}

// Reads a pipe on a thread of its own: anonymous pipes offer nothing to
// wait on, and a command must never wait for us to read. The end is a
// broken pipe, once every writer has gone, or, once the command has ended,
// a read cut short: a process that the command left behind may hold the
// pipe for as long as it likes.
DWORD WINAPI readToEnd(void* argument) {
  Reader* reader = static_cast<Reader*>(argument);
  char buffer[16 * 1024];
  DWORD n = 0;
  for (;;) {
    if (InterlockedCompareExchange(&reader->stopping, 0, 0)) {
      readWhatIsHeld(*reader);
      break;
    }
    if (!ReadFile(reader->pipe, buffer, sizeof buffer, &n, nullptr)) {
      DWORD error = GetLastError();
      if (error == ERROR_OPERATION_ABORTED && InterlockedCompareExchange(&reader->stopping, 0, 0))
        readWhatIsHeld(*reader);
      else if (error != ERROR_BROKEN_PIPE)
        reader->held->cutShort(systemErrorText(error));
      break;
    }
    if (n == 0)
      break;
    reader->held->append(buffer, n);
  }
  CloseHandle(reader->pipe);
  return 0;
}

}  // namespace

// One at a time, Windows keeps _wsystem, and Ctrl-C ends us together with
// the command.
struct CommandRunner::State {
  explicit State(unsigned jobs) : budget(descriptorBudget(jobs)), files(budget.spillFiles) {}

  // A command of several at a time, with the threads that read its pipes.
  struct Job {
    explicit Job(FileBudget& budget) : held{HeldOutput(budget), HeldOutput(budget)} {}
    HANDLE process = nullptr;  // Null when it did not start.
    DWORD startError = 0;
    HANDLE threads[2] = {nullptr, nullptr};
    Reader readers[2];
    HeldOutput held[2];
    bool ended = false;
  };
  const DescriptorBudget budget;
  FileBudget files;
  Interrupts interrupts;
  std::vector<std::unique_ptr<Job>> jobs;  // By number; null when free.
  std::wstring startError;

  bool startReaders(Job& job, HANDLE (&writes)[2]);
  bool create(const std::wstring& program, const std::wstring& commandLine, HANDLE input,
              HANDLE output, HANDLE errors, HANDLE& process);
  static void close(Job& job);
};

CommandRunner::CommandRunner(unsigned jobs) : state_(new State(jobs)) {}

CommandRunner::~CommandRunner() {
  for (auto& job : state_->jobs)
    if (job)
      State::close(*job);
}

bool CommandRunner::run(const std::wstring& commandLine, int& exitCode) {
  fflush(stdout);
  fflush(stderr);
  for (int tried = 1;; ++tried) {
    errno = 0;
    exitCode = _wsystem(wrappedLine(commandLine).c_str());
    if (exitCode != -1 || errno == 0)
      return true;
    if (tried == kStartTries)
      break;
    Sleep(kStartPause * tried);
  }
  state_->startError = _wcserror(errno);
  return false;
}

void CommandRunner::resultsWritten() {}

const std::wstring& CommandRunner::startError() const {
  return state_->startError;
}

unsigned CommandRunner::capacity() const {
  return state_->budget.jobs;
}

namespace {

// Only a handle gone bad fails a wait; a reader may still use what it would
// free.
[[noreturn]] void cannotWait() {
  writeError(L"walkexec: cannot wait for a command: " + systemErrorText(GetLastError()) + L"\n");
  abort();
}

}  // namespace

// Waits for the command, then stops its readers once they have read what
// its pipes held, and lets go of their handles. A reader blocked in a read
// that a process left behind keeps open has that read cut short, again
// until it stops: a cut that comes between two reads finds none to cut.
void CommandRunner::State::close(Job& job) {
  if (job.process && WaitForSingleObject(job.process, INFINITE) == WAIT_FAILED)
    cannotWait();
  for (int stream = 0; stream < 2; ++stream) {
    HANDLE& thread = job.threads[stream];
    if (!thread)
      continue;
    InterlockedExchange(&job.readers[stream].stopping, 1);
    DWORD waited;
    while ((waited = WaitForSingleObject(thread, kStopAgain)) == WAIT_TIMEOUT)
      CancelSynchronousIo(thread);
    if (waited == WAIT_FAILED)
      cannotWait();
    CloseHandle(thread);
    thread = nullptr;
  }
  if (job.process)
    CloseHandle(job.process);
  job.process = nullptr;
}

// A thread per pipe reads it to its end; each owns its read end from then
// on. Made before the command starts, so that a thread that cannot be made
// leaves no command waiting for a reader: the write ends closed, the
// threads made see the end and stop.
bool CommandRunner::State::startReaders(Job& job, HANDLE (&writes)[2]) {
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  for (int stream = 0; stream < 2; ++stream) {
    HANDLE read = nullptr;
    if (!CreatePipe(&read, &writes[stream], &inherited, 0))
      return false;
    job.readers[stream] = {read, &job.held[stream]};
    if (!SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0) ||
        !(job.threads[stream] =
              CreateThread(nullptr, 0, readToEnd, &job.readers[stream], 0, nullptr))) {
      DWORD error = GetLastError();
      CloseHandle(read);
      SetLastError(error);
      return false;
    }
  }
  return true;
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
  if (s.interrupts.interrupted())
    return kInterrupted;
  auto job = std::make_unique<State::Job>(s.files);
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  HANDLE writes[2] = {nullptr, nullptr};
  HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                             OPEN_EXISTING, 0, nullptr);
  s.interrupts.resultsPending();
  bool started = input != INVALID_HANDLE_VALUE && s.startReaders(*job, writes);
  std::wstring program = interpreter();
  for (int tried = 1; started; ++tried) {
    if (s.create(program, commandLine, input, writes[0], writes[1], job->process) ||
        (program != L"cmd.exe" &&
         s.create(L"cmd.exe", commandLine, input, writes[0], writes[1], job->process)))
      break;
    if (tried == kStartTries)
      started = false;
    else
      Sleep(kStartPause * tried);
  }
  DWORD error = started ? 0 : GetLastError();
  if (input != INVALID_HANDLE_VALUE)
    CloseHandle(input);
  for (HANDLE write : writes)
    if (write)
      CloseHandle(write);
  if (!started) {
    // Its readers end with the pipes' write ends gone.
    State::close(*job);
    job->startError = error;
  }
  size_t number = 0;
  while (number < s.jobs.size() && s.jobs[number])
    ++number;
  if (number == s.jobs.size())
    s.jobs.emplace_back();
  s.jobs[number] = std::move(job);
  return static_cast<int>(number);
}

// WaitForMultipleObjects takes at most 64 handles: more commands are waited
// for in groups of 64, each in turn for a moment.
int CommandRunner::wait(int& exitCode, bool& started) {
  State& s = *state_;
  std::vector<HANDLE> processes;
  std::vector<int> numbers;
  for (size_t number = 0; number < s.jobs.size(); ++number) {
    State::Job* job = s.jobs[number].get();
    if (!job || job->ended)
      continue;
    if (!job->process) {
      job->ended = true;
      started = false;
      exitCode = -1;
      s.startError = systemErrorText(job->startError);
      return static_cast<int>(number);
    }
    processes.push_back(job->process);
    numbers.push_back(static_cast<int>(number));
  }
  if (processes.empty())
    return -1;
  const size_t kGroup = MAXIMUM_WAIT_OBJECTS;
  for (;;) {
    for (size_t first = 0; first < processes.size(); first += kGroup) {
      DWORD count = static_cast<DWORD>(std::min(kGroup, processes.size() - first));
      DWORD result = WaitForMultipleObjects(count, &processes[first], FALSE,
                                            processes.size() <= kGroup ? INFINITE : 10);
      if (result == WAIT_FAILED) {
        // Only a handle gone bad fails a wait: nothing to wait for is left.
        writeError(L"walkexec: cannot wait for the commands: " + systemErrorText(GetLastError()) +
                   L"\n");
        abort();
      }
      if (result >= WAIT_OBJECT_0 + count)
        continue;
      State::Job& job = *s.jobs[numbers[first + result - WAIT_OBJECT_0]];
      DWORD code = 0;
      if (!GetExitCodeProcess(job.process, &code))
        code = static_cast<DWORD>(-1);
      State::close(job);
      job.ended = true;
      started = true;
      exitCode = static_cast<int>(code);
      return numbers[first + result - WAIT_OBJECT_0];
    }
  }
}

// A closed standard output is told as a loss: Windows has no SIGPIPE to
// end the run by.
bool CommandRunner::writeOutput(int command, OutputLoss& loss) {
  std::unique_ptr<State::Job>& job = state_->jobs[command];
  bool outputClosed = false;
  bool whole = writeHeld(job->held, loss, outputClosed);
  if (outputClosed) {
    loss = {OutputLoss::kNotWritten, errorText(EPIPE)};
    whole = false;
  }
  job.reset();
  state_->interrupts.resultsWritten();
  return whole;
}

Interrupts& CommandRunner::interrupts() {
  return state_->interrupts;
}
}  // namespace os
