#include "interrupts.h"

#include <windows.h>

#include "console.h"
#include "error_text.h"

namespace os {

namespace {

// Console control handlers are process-wide, so these are too. They run on
// a thread of their own.
volatile LONG pendingResults = 0;
volatile LONG interruptedBy = 0;

// The exit status of a process that Ctrl-C ended.
const UINT kControlCExit = 0xC000013A;

// Ctrl-C and Ctrl-Break reach every process of the console, the commands
// too. While commands have results pending, we stay to write them;
// otherwise the default handler ends us, as always.
BOOL WINAPI onConsoleInterrupt(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
    return FALSE;
  if (InterlockedCompareExchange(&pendingResults, 0, 0) == 0)
    return FALSE;
  InterlockedExchange(&interruptedBy, static_cast<LONG>(event) + 1);
  return TRUE;
}

}  // namespace

struct Interrupts::State {};

// Without our handler, Ctrl-C ends us as it always does.
Interrupts::Interrupts() : state_(new State) {
  if (!SetConsoleCtrlHandler(onConsoleInterrupt, TRUE))
    writeError(L"walkexec: cannot handle Ctrl-C: " + systemErrorText(GetLastError()) + L"\n");
}

Interrupts::~Interrupts() {
  SetConsoleCtrlHandler(onConsoleInterrupt, FALSE);  // Ours or none: either way, gone.
}

void Interrupts::resultsPending() {
  InterlockedIncrement(&pendingResults);
}

void Interrupts::resultsWritten() {
  InterlockedDecrement(&pendingResults);
}

bool Interrupts::interrupted() const {
  return InterlockedCompareExchange(&interruptedBy, 0, 0) != 0;
}

void Interrupts::endProcess() {
  ExitProcess(kControlCExit);
}

}  // namespace os
