#include "progress.h"

#include <boost/format.hpp>

#include "clock.h"
#include "console.h"

Timer::Timer(int32_t intervalMs) : intervalMs(intervalMs), start(os::systemTimeNow()) {}

Timer::~Timer() = default;

bool Timer::expired() const {
  uint64_t elapsedMs = (os::systemTimeNow() - start) / 10000;
  return elapsedMs > static_cast<uint64_t>(static_cast<int64_t>(intervalMs));
}

void Timer::restart() {
  start = os::systemTimeNow();
}

ProgressTicker::ProgressTicker(Timer* timer) : timer(timer), spinner(L"|/-\\"), next(0) {}

ProgressTicker::~ProgressTicker() = default;

void ProgressTicker::tick(uint32_t count) {
  if (!timer->expired())
    return;
  timer->restart();
  os::writeError((boost::wformat(L"%c Processed %u files so far\r") % spinner[next] % count).str());
  next = (next + 1) % spinner.size();
}
