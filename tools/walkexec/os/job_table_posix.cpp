#include "job_table.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "error_text.h"

namespace os {

namespace {

void closeIfOpen(int& fd) {
  if (fd >= 0)
    close(fd);
  fd = -1;
}

// How often a process is looked at when it has no descriptor of its own.
const int kLookAgainMs = 50;

// What a job's descriptors say: its output, its errors or its end.
struct Watch {
  Job* job;  // Null for the wake-up descriptor.
  int watched;
};

}  // namespace

// Waits for the commands still running: they must not outlive the run
// unseen.
JobTable::~JobTable() {
  for (auto& job : jobs_) {
    if (!job)
      continue;
    for (int& fd : job->watched)
      closeIfOpen(fd);
    if (job->pid > 0 && !job->waited)
      waitInterruptible(job->pid, nullptr, 0);
  }
  closeIfOpen(nullInput_);
}

// Without the null device the job is told as not started.
int JobTable::add(const std::string& line) {
  size_t number = 0;
  while (number < jobs_.size() && jobs_[number])
    ++number;
  if (number == jobs_.size())
    jobs_.emplace_back();
  jobs_[number] = std::make_unique<Job>(files_);
  Job& job = *jobs_[number];
  job.line = line;
  if (nullInput_ < 0)
    nullInput_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (nullInput_ < 0) {
    job.startError = errno;
    job.starting = false;
  }
  return static_cast<int>(number);
}

// Fills the job's start: its process and the descriptors watched, or why
// it did not start.
void JobTable::start(Job& job, const sigset_t* childMask) {
  int out[2] = {-1, -1}, err[2] = {-1, -1};
  pid_t child = -1;
  int error = 0;
  // Our ends do not block, so that a read takes what a pipe holds and its
  // end at once.
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 ||
      fcntl(out[0], F_SETFL, O_NONBLOCK) != 0 || fcntl(err[0], F_SETFL, O_NONBLOCK) != 0) {
    error = errno;
  } else {
    const int stdio[3] = {nullInput_, out[1], err[1]};
    child = shell_.start(job.line, stdio, childMask, job.direct, error);
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
    // Without one (an old kernel, no descriptor left) the process is looked
    // at now and then.
    job.watched[2] = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
  }
  job.pid = child;
  job.starting = false;
}

Job* JobTable::failedStart(int error) {
  for (auto& job : jobs_)
    if (job && !job->ended && !job->starting && job->pid < 0 && job->startError == error)
      return job.get();
  return nullptr;
}

bool JobTable::othersLive(const Job& job) const {
  return std::any_of(jobs_.begin(), jobs_.end(), [&](const std::unique_ptr<Job>& other) {
    return other && other.get() != &job && !other->ended;
  });
}

// A command has ended once its process has: a process that it left behind
// may hold its pipes for as long as it likes.
int JobTable::takeEnded() {
  for (size_t number = 0; number < jobs_.size(); ++number) {
    Job* job = jobs_[number].get();
    if (!job || job->ended || job->starting)
      continue;
    if (job->pid > 0) {
      if (!job->waited && job->watched[2] < 0)
        reap(*job, WNOHANG);
      if (!job->waited)
        continue;
      drain(*job, 0);
      drain(*job, 1);
    }
    job->ended = true;
    return static_cast<int>(number);
  }
  return -1;
}

// Whichever command ends first is taken, however many are watched: waiting
// for one alone would leave the others' ends unseen meanwhile.
bool JobTable::pollOnce(int wake, bool& woken) {
  std::vector<struct pollfd> polled;
  std::vector<Watch> owners;
  bool starting = false, unwatched = false;
  for (auto& job : jobs_) {
    starting = starting || (job && !job->ended && job->starting);
    unwatched = unwatched || (job && !job->ended && !job->starting && job->pid > 0 &&
                              !job->waited && job->watched[2] < 0);
  }
  if (starting && wake >= 0) {
    polled.push_back({wake, POLLIN, 0});
    owners.push_back({nullptr, 0});
  }
  for (auto& job : jobs_) {
    if (!job || job->ended || job->starting)
      continue;
    for (int watched = 0; watched < 3; ++watched) {
      if (job->watched[watched] < 0)
        continue;
      polled.push_back({job->watched[watched], POLLIN, 0});
      owners.push_back({job.get(), watched});
    }
  }
  woken = false;
  if (polled.empty() && !unwatched)
    return false;
  // A process without a descriptor of its own is looked at now and then.
  if (poll(polled.data(), polled.size(), unwatched ? kLookAgainMs : -1) < 0) {
    if (errno == EINTR)
      return true;
    // The kernel short of memory for the moment: a while later, not at once.
    if (errno != ENOMEM && errno != EAGAIN) {
      perror("walkexec: poll");
      abort();
    }
    const struct timespec aWhile = {0, 10 * 1000 * 1000};
    nanosleep(&aWhile, nullptr);
    return true;
  }
  for (size_t i = 0; i < polled.size(); ++i) {
    if (!polled[i].revents)
      continue;
    Job* job = owners[i].job;
    if (!job) {
      woken = true;
    } else if (owners[i].watched == 2) {
      reap(*job, WNOHANG);
    } else {
      // Both pipes: a command that printed has often ended too.
      read(*job, 0);
      read(*job, 1);
    }
  }
  return true;
}

// What the pipe holds now, up to a bound so that a command that writes
// without end does not keep us from the others; the pipe is closed at its
// end.
void JobTable::read(Job& job, int stream) {
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

// What the pipe holds at the command's end, however much: what comes
// later, from a process left behind, finds the pipe closed.
void JobTable::drain(Job& job, int stream) {
  int held = 0;
  if (job.watched[stream] >= 0 && ioctl(job.watched[stream], FIONREAD, &held) == 0) {
    std::vector<char> buffer(static_cast<size_t>(held));
    ssize_t n = held > 0 ? ::read(job.watched[stream], buffer.data(), buffer.size()) : 0;
    if (n > 0)
      job.held[stream].append(buffer.data(), static_cast<size_t>(n));
  }
  closeIfOpen(job.watched[stream]);
}

void JobTable::reap(Job& job, int options) {
  pid_t waited = waitInterruptible(job.pid, &job.status, options);
  if (waited != 0) {
    job.waited = waited == job.pid;
    closeIfOpen(job.watched[2]);
  }
}

}  // namespace os
