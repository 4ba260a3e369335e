#include "error_guard.h"

void RestoreFromRaise(void* frame) {
  std::longjmp(static_cast<ExceptionFrame*>(frame)->context, 1);
}

void EndLibrary() {
  ExceptionFrame frame;
  ASPushExceptionFrame(&frame, RestoreFromRaise);
  if (setjmp(frame.context) == 0)
    PDFLTerm();
  else
    ASPopExceptionFrame();
}

ASText Texts::Keep(ASText text) {
  texts_[count_++] = text;
  return text;
}

bool Texts::Release() {
  bool released = true;
  for (int i = 0; i < count_; ++i) {
    ASText text = texts_[i];
    if (text && !Guarded([&] { ASTextDestroy(text); }))
      released = false;
  }
  count_ = 0;
  return released;
}
