#include "stop_requests.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>

namespace {

const int kStopSignals[] = {SIGINT, SIGTERM};
// Where the handler tells the watching thread: a signal handler has no
// object to reach.
std::atomic<int> stopPipe{-1};

void OnStopSignal(int number) {
  int saved = errno;
  // The next request ends the program the default way.
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  for (int stop : kStopSignals)
    sigaction(stop, &action, nullptr);
  unsigned char byte = static_cast<unsigned char>(number);
  if (write(stopPipe, &byte, 1) != 1) {
    // Nothing to be done in a handler; the watch then sees no request.
  }
  errno = saved;
}

}  // namespace

struct StopRequests::Watch {
  std::function<void()> onStop;
  int pipe[2] = {-1, -1};
  struct sigaction previous[2] = {};
  std::thread thread;
  std::atomic<int> signal{0};
};

StopRequests::StopRequests(std::function<void()> onStop) : watch_(new Watch) {
  Watch& watch = *watch_;
  watch.onStop = std::move(onStop);
  // Without a pipe the signals keep their default action, which a save
  // survives too: the file is as it was or tagged.
  if (pipe2(watch.pipe, O_CLOEXEC) != 0)
    return;
  try {
    watch.thread = std::thread([&watch] {
      unsigned char byte = 0;
      ssize_t length;
      while ((length = read(watch.pipe[0], &byte, 1)) < 0 && errno == EINTR) {
      }
      if (length == 1 && byte != 0) {
        watch.signal = byte;
        watch.onStop();
      }
    });
  } catch (...) {
    close(watch.pipe[0]);
    close(watch.pipe[1]);
    throw;
  }
  stopPipe = watch.pipe[1];
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  action.sa_flags = SA_RESTART;  // the library's reads and writes go on
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 2; ++i)
    sigaction(kStopSignals[i], &action, &watch.previous[i]);
}

StopRequests::~StopRequests() {
  Watch& watch = *watch_;
  if (watch.pipe[1] < 0)
    return;
  if (watch.signal == 0) {
    for (int i = 0; i < 2; ++i)
      sigaction(kStopSignals[i], &watch.previous[i], nullptr);
  }
  stopPipe = -1;
  unsigned char none = 0;
  if (write(watch.pipe[1], &none, 1) != 1) {
    // The watch has already ended: it saw a request.
  }
  watch.thread.join();
  close(watch.pipe[0]);
  close(watch.pipe[1]);
}

std::string StopRequests::received() const {
  switch (watch_->signal) {
    case 0:
      return "";
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
  }
  return "signal " + std::to_string(watch_->signal);
}

void StopRequests::EndAsRequested() {
  int number = watch_->signal;
  signal(number, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, number);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(number);
  _exit(128 + number);
}
