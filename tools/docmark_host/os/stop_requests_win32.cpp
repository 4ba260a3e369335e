#include "stop_requests.h"

#include <windows.h>

#include <atomic>

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
