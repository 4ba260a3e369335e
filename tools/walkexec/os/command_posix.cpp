// CommandRunner on POSIX: /bin/sh -c for every line that needs the shell,
// and the program itself, started as the shell would start it, for every
// other line, which saves a shell per file (the rules in shell_words.h, the
// start in spawn_posix.cpp). Several commands at a time each write into two
// pipes of their own, read as they fill so that no command waits on us; a
// command has ended when both pipes are closed and it has exited. They are
// started by threads of their own, made as the starts need them and at most
// one per job, since a start holds its thread until the command's exec: the
// starts overlap each other and our reading and waiting.
#include "system.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "held_output.h"
#include "shell_words.h"
#include "spawn_posix.h"
#include "text.h"

extern char** environ;

namespace platform {

namespace {

// Signal state is process-wide, so these are too. `pendingResults` counts
// the commands started whose results are not all written yet;
// `pendingInterrupt` is the signal that stops the run, read by the starters
// too. Both are lock-free, which a handler needs.
std::atomic<int> pendingResults(0);
std::atomic<int> pendingInterrupt(0);
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler sets them");

// In a handler, the signal is delivered again as soon as the handler
// returns.
void endBySignal(int signo) {
  signal(signo, SIG_DFL);
  raise(signo);
}

// Stops the run by `signo` unless something else stopped it first.
void stopBy(int signo) {
  int none = 0;
  pendingInterrupt.compare_exchange_strong(none, signo);
}

// While a command's results are pending an interrupt waits for them, as
// with system(), so that the commands see it first; otherwise it ends the
// run at once.
void onInterrupt(int signo) {
  if (pendingResults.load() != 0)
    stopBy(signo);
  else
    endBySignal(signo);
}

// A write to a closed pipe, or past the file size limit, then fails with
// EPIPE or EFBIG and is told. Caught rather than ignored: exec gives the
// commands the default back.
void onRefusedWrite(int) {}

// SIGHUP (a terminal or an ssh session gone) ends a run as SIGTERM does.
const int kInterrupts[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
const int kCaughtSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};
const int kCaughtCount = sizeof kCaughtSignals / sizeof kCaughtSignals[0];

// Whether our standard output is a pipe or socket whose reader has gone.
bool outputGone() {
  struct pollfd output = {1, POLLOUT, 0};
  return poll(&output, 1, 0) == 1 && (output.revents & (POLLERR | POLLHUP)) != 0;
}

// Descriptors kept for everything but the commands: the logs, the walk's
// directory, the null device, the starters' wake-up pipe.
const size_t kReservedDescriptors = 16;
// What one command takes while it starts: its two pipes and its process.
const size_t kDescriptorsPerCommand = 5;
// Above this limit descriptors are not counted: they are plenty.
const rlim_t kCountedLimit = 65536;
// The search path of dash when PATH is not set.
const char kDefaultPath[] = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

// The environment that the shell gives its commands is not ours: it drops
// names that are no variable names, sets PWD and has its own order. So it is
// asked of the shell, once.
bool readShellEnvironment(std::vector<std::string>& variables) {
  FILE* pipe = popen("exec cat /proc/self/environ 2>/dev/null", "r");
  if (!pipe)
    return false;
  std::string bytes;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    bytes.append(buffer, n);
  if (pclose(pipe) != 0)
    return false;
  for (size_t at = 0, end; (end = bytes.find('\0', at)) != std::string::npos; at = end + 1)
    variables.push_back(bytes.substr(at, end - at));
  return true;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (std::string& s : strings)
    result.push_back(&s[0]);
  result.push_back(nullptr);
  return result;
}

void closeIfOpen(int& fd) {
  if (fd >= 0)
    close(fd);
  fd = -1;
}

// Failures that a command ending may cure.
bool lacking(int error) {
  return error == EAGAIN || error == ENOMEM || error == EMFILE || error == ENFILE;
}

// The descriptors that the limit leaves beyond those open now (ours and
// those we were given); SIZE_MAX when there are plenty.
size_t freeDescriptors() {
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur > kCountedLimit)
    return SIZE_MAX;
  size_t open = 0;
  for (int fd = 0; fd < static_cast<int>(limit.rlim_cur); ++fd)
    if (fcntl(fd, F_GETFD) != -1)
      ++open;
  return static_cast<size_t>(limit.rlim_cur) - open;
}

}  // namespace

struct CommandRunner::State {
  // As many commands at once as the descriptors allow, at most `jobs`; held
  // output spills into what is left.
  explicit State(unsigned jobs, size_t free = freeDescriptors())
      : jobCount(std::max<size_t>(
            1, std::min<size_t>(jobs, free > kReservedDescriptors
                                          ? (free - kReservedDescriptors) / kDescriptorsPerCommand
                                          : 0))),
        budget(free == SIZE_MAX ? SIZE_MAX
               : free > kReservedDescriptors + kDescriptorsPerCommand * jobCount
                   ? free - kReservedDescriptors - kDescriptorsPerCommand * jobCount
                   : 0) {}

  const unsigned jobCount;
  struct sigaction saved[kCaughtCount];  // As the process started, for kCaughtSignals.
  bool caught[kCaughtCount] = {};
  SpawnRules rules;  // The caught signals back at their default in the commands.
  FileBudget budget;
  std::wstring startError;
  bool runPending = false;  // run()'s results are not written yet.

  enum { kUnknown, kKnown, kUnavailable } environmentState = kUnknown;
  std::vector<std::string> environment;
  std::vector<char*> envp;
  std::vector<std::string> searchPath;  // PATH's directories, as the shell sees them.

  // A command of several at a time: what it wrote into its pipes, and what
  // is watched until it ends: the pipes' read ends, closed at end of file,
  // and a descriptor of the process that is readable once it has exited
  // (none on kernels without them: the process is then waited for once its
  // pipes are closed).
  struct Job {
    explicit Job(FileBudget& budget) : held{HeldOutput(budget), HeldOutput(budget)} {}
    int number = 0;
    std::string line;
    bool starting = true;  // Until a starter has tried; the fields below are its.
    int startError = 0;    // Why it did not start, if it did not.
    pid_t pid = -1;        // 0: an interrupt came first.
    bool direct = false;
    bool waited = false;
    bool ended = false;
    int status = 0;
    int watched[3] = {-1, -1, -1};  // Output, errors, process.
    HeldOutput held[2];
  };
  std::vector<std::unique_ptr<Job>> jobs;  // By number; null when free.
  int nullInput = -1;

  // The starters, made as jobs need them, and what passes between them and
  // us under `lock`: the jobs to start, and those tried, which a byte in
  // `wake` tells us of. Without a starter (none could be made) we start the
  // jobs ourselves.
  std::vector<std::thread> starters;
  std::mutex lock;
  std::condition_variable queuedOne;
  std::deque<Job*> queued;
  std::vector<Job*> tried;
  unsigned idle = 0;  // Starters waiting for a job.
  bool stopping = false;
  int wake[2] = {-1, -1};
  sigset_t commandMask;  // Ours as the first job came: the commands get it.
  bool startersPrepared = false;

  bool learnEnvironment();
  std::vector<std::string> programs(const std::string& name) const;
  pid_t startLine(const std::string& line, const int* stdio, const sigset_t* childMask,
                  bool& direct, int& error);
  void prepareStarters();
  bool makeStarter();
  bool handOver(Job* job);
  void startJob(Job& job, const sigset_t* childMask);
  void starterLoop();
  void retireStarters();
  bool othersLive(const Job& job) const;
  int finish(pid_t child, bool direct);
  void read(Job& job, int stream);
  static void reap(Job& job, int options);
};

// A signal that cannot be caught (none can fail here but a bad number) is
// left as it was. Nothing of an earlier runner is pending.
CommandRunner::CommandRunner(unsigned jobs) : state_(new State(jobs)) {
  pendingResults = 0;
  pendingInterrupt = 0;
  // Ignored, SIGCHLD would let the system reap the commands before we see
  // how they ended.
  struct sigaction byDefault = {};
  byDefault.sa_handler = SIG_DFL;
  sigemptyset(&byDefault.sa_mask);
  if (sigaction(SIGCHLD, &byDefault, nullptr) != 0)
    perror("walkexec: SIGCHLD");
  for (int i = 0; i < kCaughtCount; ++i) {
    int signo = kCaughtSignals[i];
    // A signal ignored from the start stays ignored, for us and the commands.
    if (sigaction(signo, nullptr, &state_->saved[i]) != 0 || state_->saved[i].sa_handler == SIG_IGN)
      continue;
    struct sigaction action = {};
    bool write = signo == SIGPIPE || signo == SIGXFSZ;
    action.sa_handler = write ? onRefusedWrite : onInterrupt;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    state_->caught[i] = sigaction(signo, &action, nullptr) == 0;
    if (state_->caught[i])
      state_->rules.defaults.push_back(signo);
  }
  sigemptyset(&state_->rules.interrupts);
  for (int signo : kInterrupts)
    sigaddset(&state_->rules.interrupts, signo);
  state_->rules.stop = &pendingInterrupt;
}

CommandRunner::~CommandRunner() {
  state_->retireStarters();
  closeIfOpen(state_->wake[0]);
  closeIfOpen(state_->wake[1]);
  for (auto& job : state_->jobs) {
    if (!job)
      continue;
    for (int& fd : job->watched)
      closeIfOpen(fd);
    if (job->pid > 0 && !job->waited)
      waitInterruptible(job->pid, nullptr, 0);
  }
  if (state_->nullInput >= 0)
    close(state_->nullInput);
  for (int i = 0; i < kCaughtCount; ++i)
    if (state_->caught[i])
      sigaction(kCaughtSignals[i], &state_->saved[i], nullptr);
}

bool CommandRunner::State::learnEnvironment() {
  if (environmentState == kUnknown) {
    environmentState = readShellEnvironment(environment) ? kKnown : kUnavailable;
    std::string path = kDefaultPath;
    for (const std::string& variable : environment)
      if (variable.compare(0, 5, "PATH=") == 0)
        path = variable.substr(5);
    // A '%' marks dash's path options, which only the shell knows.
    if (path.find('%') != std::string::npos)
      environmentState = kUnavailable;
    for (size_t at = 0, end;; at = end + 1) {
      end = path.find(':', at);
      searchPath.push_back(path.substr(at, end - at));
      if (end == std::string::npos)
        break;
    }
    envp = pointers(environment);
  }
  return environmentState == kKnown;
}

// Where the shell looks for a program: the name itself when it holds a
// '/', else in each directory of PATH in turn (an empty one is the
// current directory).
std::vector<std::string> CommandRunner::State::programs(const std::string& name) const {
  if (name.find('/') != std::string::npos)
    return {name};
  std::vector<std::string> result;
  for (const std::string& directory : searchPath)
    result.push_back(directory.empty() ? name : directory + "/" + name);
  return result;
}

// The line's program itself when the line needs no shell, else the shell;
// the program's start falls back to the shell, which also says why it
// could not start one, in its own words, unless the system lacked what a
// start takes.
pid_t CommandRunner::State::startLine(const std::string& line, const int* stdio,
                                      const sigset_t* childMask, bool& direct, int& error) {
  std::vector<std::string> words;
  std::vector<char*> argv;
  direct = false;
  if (plainWords(line, words) && learnEnvironment()) {
    argv = pointers(words);
    pid_t child =
        spawnChild(rules, programs(words[0]), argv.data(), envp.data(), stdio, childMask, error);
    if (child != -1 || lacking(error)) {
      direct = child > 0;
      return child;
    }
  }
  std::vector<std::string> shell = {"sh", "-c", line};
  argv = pointers(shell);
  return spawnChild(rules, {"/bin/sh"}, argv.data(), environ, stdio, childMask, error);
}

// Waits for the child. A child killed by a signal is reported as the shell
// reports it when `direct` says that no shell stood between.
int CommandRunner::State::finish(pid_t child, bool direct) {
  int status = 0;
  if (waitInterruptible(child, &status, 0) != child)
    return -1;
  std::string report;
  int code = shellExitCode(status, direct, report);
  fwrite(report.data(), 1, report.size(), stderr);
  return code;
}

bool CommandRunner::run(const std::wstring& commandLine, int& exitCode) {
  State& s = *state_;
  fflush(stdout);
  fflush(stderr);
  bool direct = false;
  int error = 0;
  // Pending from before the start, so that an interrupt during it waits.
  ++pendingResults;
  pid_t child = s.startLine(encodeUtf8(commandLine), nullptr, nullptr, direct, error);
  if (child <= 0)
    --pendingResults;
  // Nothing is pending: an interrupt has ended us already.
  if (child == 0)
    endBySignal(pendingInterrupt.load());
  if (child < 0) {
    s.startError = errorText(error);
    return false;
  }
  s.runPending = true;
  exitCode = s.finish(child, direct);
  // Our standard output closed: the next command would die of it too.
  if (exitCode == 128 + SIGPIPE && outputGone())
    stopBy(SIGPIPE);
  return true;
}

void CommandRunner::resultsWritten() {
  if (!state_->runPending)
    return;
  state_->runPending = false;
  --pendingResults;
  if (pendingInterrupt.load() != 0)
    endBySignal(pendingInterrupt.load());
}

const std::wstring& CommandRunner::startError() const {
  return state_->startError;
}

unsigned CommandRunner::capacity() const {
  return state_->jobCount;
}

// What the starters share, made before the first of them: the
// environment, which they read, and the pipe that tells us of their starts.
void CommandRunner::State::prepareStarters() {
  startersPrepared = true;
  learnEnvironment();
  if (pthread_sigmask(SIG_SETMASK, nullptr, &commandMask) != 0 ||
      pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    closeIfOpen(wake[0]);
    closeIfOpen(wake[1]);
  }
}

// A starter takes every signal blocked, so that our handlers run on our
// thread alone; the commands get the mask we had. False when the system
// has no thread to give (for want of processes, memory).
bool CommandRunner::State::makeStarter() {
  sigset_t all, old;
  sigfillset(&all);
  if (pthread_sigmask(SIG_SETMASK, &all, &old) != 0)
    return false;
  bool made = true;
  try {
    starters.emplace_back(&State::starterLoop, this);
  } catch (const std::system_error&) {
    made = false;
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);  // The mask we had: it cannot fail.
  return made;
}

// Queues the job for a starter, making one when none is idle: threads
// count against the process limit as commands do, so there are only as
// many as the starts need at once. False when there is no starter.
bool CommandRunner::State::handOver(Job* job) {
  if (wake[0] < 0)
    return false;
  bool idleOne;
  {
    std::lock_guard<std::mutex> guard(lock);
    idleOne = idle > queued.size();
  }
  if (!idleOne && starters.size() < jobCount)
    makeStarter();
  if (starters.empty())
    return false;
  {
    std::lock_guard<std::mutex> guard(lock);
    queued.push_back(job);
  }
  queuedOne.notify_one();
  return true;
}

// Only while no job is queued: the starters end and are joined.
void CommandRunner::State::retireStarters() {
  {
    std::lock_guard<std::mutex> guard(lock);
    stopping = true;
  }
  queuedOne.notify_all();
  for (std::thread& starter : starters)
    starter.join();
  starters.clear();
  std::lock_guard<std::mutex> guard(lock);
  stopping = false;
}

void CommandRunner::State::starterLoop() {
  for (;;) {
    Job* job;
    {
      std::unique_lock<std::mutex> guard(lock);
      ++idle;
      queuedOne.wait(guard, [this] { return stopping || !queued.empty(); });
      --idle;
      if (stopping)
        return;
      job = queued.front();
      queued.pop_front();
    }
    startJob(*job, &commandMask);
    {
      std::lock_guard<std::mutex> guard(lock);
      tried.push_back(job);
    }
    // A full pipe already holds a byte that wakes us.
    while (write(wake[1], "", 1) < 0 && errno == EINTR) {
    }
  }
}

bool CommandRunner::State::othersLive(const Job& job) const {
  return std::any_of(jobs.begin(), jobs.end(), [&](const std::unique_ptr<Job>& other) {
    return other && other.get() != &job && !other->ended;
  });
}

// Fills the job's start: its process and the descriptors watched, or why
// it did not start. The command gets `childMask` (null: the caller's).
void CommandRunner::State::startJob(Job& job, const sigset_t* childMask) {
  int out[2] = {-1, -1}, err[2] = {-1, -1};
  pid_t child = -1;
  int error = 0;
  // Our ends do not block, so that a read takes what a pipe holds and its
  // end at once.
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 ||
      fcntl(out[0], F_SETFL, O_NONBLOCK) != 0 || fcntl(err[0], F_SETFL, O_NONBLOCK) != 0) {
    error = errno;
  } else {
    const int stdio[3] = {nullInput, out[1], err[1]};
    child = startLine(job.line, stdio, childMask, job.direct, error);
  }
  closeIfOpen(out[1]);
  closeIfOpen(err[1]);
  job.watched[0] = out[0];
  job.watched[1] = err[0];
  if (child <= 0) {
    for (int& fd : job.watched)
      closeIfOpen(fd);
    job.startError = error;
  } else {
    // Without one (an old kernel, no descriptor left) the command is waited
    // for once its pipes are closed.
    job.watched[2] = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
  }
  job.pid = child;
}

int CommandRunner::start(const std::wstring& commandLine) {
  State& s = *state_;
  if (pendingInterrupt.load() != 0)
    return kInterrupted;
  if (!s.startersPrepared)
    s.prepareStarters();
  auto job = std::make_unique<State::Job>(s.budget);
  job->line = encodeUtf8(commandLine);
  size_t number = 0;
  while (number < s.jobs.size() && s.jobs[number])
    ++number;
  if (number == s.jobs.size())
    s.jobs.emplace_back();
  job->number = static_cast<int>(number);
  State::Job* started = job.get();
  s.jobs[number] = std::move(job);
  ++pendingResults;
  if (s.nullInput < 0)
    s.nullInput = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (s.nullInput >= 0 && s.handOver(started))
    return started->number;
  if (s.nullInput < 0) {
    started->startError = errno;
    started->pid = -1;
  } else {
    s.startJob(*started, nullptr);
  }
  std::lock_guard<std::mutex> guard(s.lock);
  s.tried.push_back(started);
  return started->number;
}

// What the pipe holds now, up to a bound so that a command that writes
// without end does not keep us from the others; the pipe is closed at its
// end.
void CommandRunner::State::read(Job& job, int stream) {
  const int kMostReads = 16;
  char buffer[64 * 1024];
  for (int reads = 0; reads < kMostReads && job.watched[stream] >= 0; ++reads) {
    ssize_t n = ::read(job.watched[stream], buffer, sizeof buffer);
    if (n > 0) {
      job.held[stream].append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      if (n < 0)
        job.held[stream].cutShort(errorText(errno));
      closeIfOpen(job.watched[stream]);
    } else if (errno == EAGAIN) {
      return;
    }
  }
}

void CommandRunner::State::reap(Job& job, int options) {
  pid_t waited = waitInterruptible(job.pid, &job.status, options);
  if (waited != 0) {
    job.waited = waited == job.pid;
    closeIfOpen(job.watched[2]);
  }
}

// Whichever command ends first is taken, however many are watched: waiting
// for one alone would leave the others' ends unseen meanwhile.
int CommandRunner::wait(int& exitCode, bool& started) {
  State& s = *state_;
  std::vector<struct pollfd> polled;
  std::vector<std::pair<State::Job*, int>> owners;
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(s.lock);
      for (State::Job* job : s.tried)
        job->starting = false;
      s.tried.clear();
    }
    bool starting = false;
    for (size_t number = 0; number < s.jobs.size(); ++number) {
      State::Job* job = s.jobs[number].get();
      if (!job || job->ended)
        continue;
      starting = starting || job->starting;
      if (job->starting)
        continue;
      // The starters' threads count against the process limit as commands
      // do: with nothing else running, a start that lacked a process is
      // made again from our own thread, theirs gone, as one at a time.
      if (job->pid < 0 && job->startError == EAGAIN && !s.starters.empty() && !s.othersLive(*job)) {
        s.retireStarters();
        s.startJob(*job, nullptr);
      }
      if (job->pid <= 0) {
        job->ended = true;
        started = false;
        exitCode = -1;
        s.startError = job->pid < 0 ? errorText(job->startError) : std::wstring();
        return static_cast<int>(number);
      }
      if (job->watched[0] >= 0 || job->watched[1] >= 0 || job->watched[2] >= 0)
        continue;
      if (!job->waited)
        s.reap(*job, 0);
      job->ended = true;
      started = true;
      std::string report;
      exitCode = job->waited ? shellExitCode(job->status, job->direct, report) : -1;
      job->held[1].append(report.data(), report.size());
      return static_cast<int>(number);
    }
    polled.clear();
    owners.clear();
    if (starting) {
      polled.push_back({s.wake[0], POLLIN, 0});
      owners.emplace_back(nullptr, 0);
    }
    for (auto& job : s.jobs) {
      if (!job || job->ended || job->starting)
        continue;
      for (int watched = 0; watched < 3; ++watched) {
        if (job->watched[watched] < 0)
          continue;
        polled.push_back({job->watched[watched], POLLIN, 0});
        owners.emplace_back(job.get(), watched);
      }
    }
    if (polled.empty())
      return -1;  // Nothing was started.
    if (poll(polled.data(), polled.size(), -1) < 0) {
      if (errno == EINTR)
        continue;
      // The kernel short of memory for the moment: a while later, not at once.
      if (errno != ENOMEM && errno != EAGAIN) {
        perror("walkexec: poll");
        abort();
      }
      const struct timespec aWhile = {0, 10 * 1000 * 1000};
      nanosleep(&aWhile, nullptr);
      continue;
    }
    for (size_t i = 0; i < polled.size(); ++i) {
      if (!polled[i].revents)
        continue;
      State::Job* job = owners[i].first;
      if (!job) {
        char bytes[256];
        while (::read(s.wake[0], bytes, sizeof bytes) > 0) {
        }
      } else if (owners[i].second == 2) {
        s.reap(*job, WNOHANG);
      } else {
        // Both pipes: a command that printed has often ended too.
        s.read(*job, 0);
        s.read(*job, 1);
      }
    }
  }
}

bool CommandRunner::writeOutput(int command, OutputLoss& loss) {
  std::unique_ptr<State::Job>& job = state_->jobs[command];
  bool outputClosed = false;
  bool whole = writeHeld(job->held, loss, outputClosed);
  if (outputClosed)
    stopBy(SIGPIPE);
  job.reset();
  --pendingResults;
  return whole;
}

bool CommandRunner::interrupted() const {
  return pendingInterrupt.load() != 0;
}

void CommandRunner::endByInterrupt() {
  int signo = pendingInterrupt.load();
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signo);
  endBySignal(signo);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  _exit(128 + signo);  // Not reached: the signal ends us first.
}

}  // namespace platform
