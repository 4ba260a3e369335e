#include "copy/copy_plan.h"

#include <stdexcept>

#include "copy/not_copyable.h"

namespace pdfl {

namespace {

// A linearized file keeps its linearization only when nothing moves; any
// other file may be compacted.
void Plan(PDFLDoc& document, bool linearize, CopyPlan& plan) {
  QPDF& pdf = *document.pdf;
  Require(document.source && !document.changedBeyondMetadata && !pdf.anyWarnings() &&
          linearize == pdf.isLinearized());
  try {
    PlanInPlace(document, plan);
    return;
  } catch (const NotCopyable&) {
    Require(!linearize);
  }
  plan = CopyPlan();
  PlanCompaction(document, plan);
}

}  // namespace

bool PlanCopy(PDFLDoc& document, bool linearize, CopyPlan& plan) {
  plan = CopyPlan();
  try {
    Plan(document, linearize, plan);
    return true;
  } catch (const NotCopyable&) {
  } catch (const std::runtime_error&) {
    // QPDF's own errors on what it reads here (QPDFExc, system errors) mean
    // the same: the document takes the rewrite. Anything else is a fault.
  }
  plan = CopyPlan();
  return false;
}

}  // namespace pdfl
