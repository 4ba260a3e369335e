// How many commands may run at once, and how many temporary files their
// held output may keep open, so that neither takes the descriptors that the
// other, or the rest of the run, needs.
#ifndef WALKEXEC_OS_DESCRIPTOR_BUDGET_H
#define WALKEXEC_OS_DESCRIPTOR_BUDGET_H

#include <atomic>
#include <cstddef>

namespace os {

struct DescriptorBudget {
  unsigned jobs;      // Commands at once with their output held; 0: none.
  size_t spillFiles;  // SIZE_MAX: as many as held output wants.
};

// At most `jobs` commands: fewer where the descriptors that the process may
// still open would not suffice for `jobs` and the rest of the run, none
// where they would not suffice for one.
DescriptorBudget descriptorBudget(unsigned jobs);

// The temporary files that held output may still open, taken from any
// thread.
class FileBudget {
 public:
  explicit FileBudget(size_t files) : left_(files) {}

  bool take() {
    size_t left = left_.load();
    while (left > 0 && !left_.compare_exchange_weak(left, left - 1)) {
    }
    return left > 0;
  }
  void giveBack() { ++left_; }

 private:
  std::atomic<size_t> left_;
};

}  // namespace os

#endif
