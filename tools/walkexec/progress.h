// The progress line on standard error: a spinner and the count of files
// processed, rewritten at most once per interval.
#ifndef WALKEXEC_PROGRESS_H
#define WALKEXEC_PROGRESS_H

#include <cstdint>
#include <string>

// An interval on the system clock, in whole milliseconds.
class Timer {
 public:
  explicit Timer(int32_t intervalMs);
  virtual ~Timer();

  // True once more than the interval has passed since the start. The
  // difference is unsigned, so a clock set back expires it at once.
  bool expired() const;
  void restart();

 private:
  int32_t intervalMs;
  uint64_t start;
};

class ProgressTicker {
 public:
  explicit ProgressTicker(Timer* timer);
  virtual ~ProgressTicker();

  // Writes "<spinner> Processed <count> files so far\r" when the timer has
  // expired, restarting it first.
  void tick(uint32_t count);

 private:
  Timer* timer;  // Not owned.
  std::wstring spinner;
  uint32_t next;
};

#endif
