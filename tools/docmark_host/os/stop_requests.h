// Requests to stop: SIGINT and SIGTERM on POSIX; Ctrl-C, Ctrl-Break and
// the console's closing on Windows.
#ifndef DOCMARK_HOST_OS_STOP_REQUESTS_H
#define DOCMARK_HOST_OS_STOP_REQUESTS_H

#include <functional>
#include <memory>
#include <string>

// The first request calls `onStop` once, on a thread of its own; a second
// one ends the program at once.
class StopRequests {
 public:
  explicit StopRequests(std::function<void()> onStop);
  ~StopRequests();
  StopRequests(const StopRequests&) = delete;
  StopRequests& operator=(const StopRequests&) = delete;

  // The request's name ("SIGINT"); empty while there was none.
  std::string received() const;
  // Ends the program as the request would have, had nothing caught it.
  [[noreturn]] void EndAsRequested();

  struct Watch;

 private:
  std::unique_ptr<Watch> watch_;
};

#endif
