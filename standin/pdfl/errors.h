// Library errors: thrown as C++ exceptions inside the library, and raised to
// the caller through its exception frames only at the edge of each operation,
// after every C++ scope of the library has been left. An operation leaves the
// thread's last system error (GetLastError, errno) as it found it, or, when it
// raises, the reason of the system call that failed, or 0 where none did.
#ifndef PDFL_ERRORS_H
#define PDFL_ERRORS_H

#include <type_traits>

#include "hooks.h"
#include "last_error.h"
#include "pdfl/pdfl.h"

namespace pdfl {

struct Error {
  ASErrorCode code;
  int reason;  // the system's, or 0
};

[[noreturn]] void Fail(ASErrorCode code);
// A failure of the system call just made, whose last error is its reason; or
// of one whose reason the caller names.
[[noreturn]] void FailSystem(ASErrorCode code);
[[noreturn]] void FailSystem(ASErrorCode code, int reason);
// A failure of a write through C stdio, caught as an exception.
[[noreturn]] void FailStdio(ASErrorCode code);

void DropFrames();

// Calls the top frame's restore procedure, which longjmps into the caller.
// Without a frame there is nobody to tell: the process stops with a message.
[[noreturn]] void Raise(ASErrorCode code);

// The code for the exception being handled, and the system's reason for it
// (0 when it has none); call only inside a catch block.
ASErrorCode CodeOfCurrentException(int& reason);

// Runs one operation: the body's exceptions end inside here, and the raise
// happens only after the try block is left. The body may capture only by
// reference, since the raise jumps over this frame. A null operation name
// leaves a testing build's fault to the body.
template <typename Body>
auto Entry(const char* operation, Body body) -> decltype(body()) {
  static_assert(std::is_trivially_destructible_v<Body>, "the raise skips destructors");
  using Result = decltype(body());
  int callers = lasterror::Get();
  int reason = 0;
  ASErrorCode code = operation ? CurrentHooks().Fault(operation) : 0;
  if constexpr (std::is_void_v<Result>) {
    if (code == 0) {
      try {
        body();
      } catch (...) {
        code = CodeOfCurrentException(reason);
      }
    }
    lasterror::Set(code != 0 ? reason : callers);
    if (code != 0)
      Raise(code);
  } else {
    static_assert(std::is_trivially_destructible_v<Result>, "the raise skips destructors");
    Result result{};
    if (code == 0) {
      try {
        result = body();
      } catch (...) {
        code = CodeOfCurrentException(reason);
      }
    }
    lasterror::Set(code != 0 ? reason : callers);
    if (code != 0)
      Raise(code);
    return result;
  }
}

}  // namespace pdfl

#endif
