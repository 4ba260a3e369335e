// The error guard around the PDF library's calls. A raise with no exception
// frame to catch it ends the host process, so every call that may raise runs
// inside Guarded, and every text object the library makes is kept by a Texts
// that releases it inside a frame.
#ifndef DOCMARK_ERROR_GUARD_H
#define DOCMARK_ERROR_GUARD_H

#include <csetjmp>

#include "pdfl_calls.h"

// A raise calls the frame's restore procedure, which jumps back into
// Guarded's setjmp; the frame is popped on both paths.
struct ExceptionFrame {
  std::jmp_buf context;
};

// The restore procedure of every guard: longjmp(frame->context, 1).
[[noreturn]] void RestoreFromRaise(void* frame);

// Runs body inside an error guard: true when it ran to its end, false when
// the library raised inside it. A raise longjmps over the body, so the body
// holds only trivially destructible locals (handles, numbers, raw pointers);
// anything with a destructor lives in the caller. Never inlined, as it calls
// setjmp: the caller's locals that the body sets are read back from memory.
template <typename Body>
__attribute__((noinline)) bool Guarded(Body body) {
  ExceptionFrame frame;
  ASPushExceptionFrame(&frame, RestoreFromRaise);
  if (setjmp(frame.context) == 0) {
    body();
    ASPopExceptionFrame();
    return true;
  }
  ASPopExceptionFrame();
  return false;
}

// PDFLTerm, inside a frame of its own. An end takes the frame with the rest
// of the library, so only a raise, which leaves the library running, pops it.
void EndLibrary();

// The text objects of one step, released in the order they were made, each
// inside a guard of its own: by Release, whose result the step takes as its
// own, or else when the owner goes. A text whose release raised stays with
// the library, which releases it when it ends.
class Texts {
 public:
  Texts() = default;
  ~Texts() { Release(); }
  Texts(const Texts&) = delete;
  Texts& operator=(const Texts&) = delete;

  // Keeps a text the library made (null too) and gives it back; called inside
  // a guard, so that the text is released however the guard ends.
  ASText Keep(ASText text);
  // False when the library raised while releasing one of them.
  bool Release();

 private:
  ASText texts_[4] = {};  // the most one step makes: a property call's four
  int count_ = 0;
};

#endif
