#include "errors.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFSystemError.hh>

#include "operations.h"

namespace pdfl {

namespace {

struct Frame {
  void* frame;
  ASRestoreProc restore;
};

// A raise unwinds the raising thread's own frames.
thread_local std::vector<Frame> frames;
thread_local ASErrorCode lastCode = 0;

ASErrorCode CodeOfQpdfError(const QPDFExc& e) {
  switch (e.getErrorCode()) {
    case qpdf_e_system:
      return kPDFLErrFileOpen;
    case qpdf_e_password:
      return kPDFLErrPermission;
    case qpdf_e_damaged_pdf:
    case qpdf_e_pages:
      return kPDFLErrBadPDF;
    default:
      return kPDFLErrGeneral;
  }
}

}  // namespace

void Fail(ASErrorCode code) {
  throw Error{code, 0};
}

void FailSystem(ASErrorCode code) {
  throw Error{code, lasterror::Get()};
}

void FailSystem(ASErrorCode code, int reason) {
  throw Error{code, reason};
}

void FailStdio(ASErrorCode code) {
  throw Error{code, lasterror::OfStdio()};
}

void ASPushExceptionFrame(void* frame, ASRestoreProc restore) {
  frames.push_back({frame, restore});
}

void ASPopExceptionFrame() {
  if (!frames.empty())
    frames.pop_back();
}

ASErrorCode ASGetExceptionErrorCode() {
  return lastCode;
}

void DropFrames() {
  frames.clear();
}

void Raise(ASErrorCode code) {
  lastCode = code;
  if (frames.empty()) {
    std::fprintf(stderr, "pdfl: library error %d raised outside any exception frame\n", code);
    std::abort();
  }
  Frame top = frames.back();
  top.restore(top.frame);
  std::fprintf(stderr, "pdfl: the restore procedure of an exception frame returned\n");
  std::abort();
}

ASErrorCode CodeOfCurrentException(int& reason) {
  reason = 0;
  try {
    throw;
  } catch (const Error& e) {
    reason = e.reason;
    return e.code;
  } catch (const QPDFExc& e) {
    return CodeOfQpdfError(e);
  } catch (const QPDFSystemError&) {
    reason = lasterror::OfStdio();
    return kPDFLErrFileOpen;
  } catch (...) {
    return kPDFLErrGeneral;
  }
}

}  // namespace pdfl
