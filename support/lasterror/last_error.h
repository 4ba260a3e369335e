// The calling thread's last system error: GetLastError() on Windows, errno
// on POSIX. After a call of docmark returns false, a host finds there the
// reason of the system call that failed, so every call on the way back
// leaves it as it found it.
#ifndef SUPPORT_LAST_ERROR_H
#define SUPPORT_LAST_ERROR_H

namespace lasterror {

int Get();
void Set(int error);
// The system's reason for the last C stdio call that failed (fwrite, fflush):
// errno on POSIX, and on Windows the C runtime's copy of the system's code,
// which survives what runs between the failure and the code that reads it
// (an exception thrown on the way unwinds through calls that may change
// GetLastError).
int OfStdio();

// Keeps the thread's last error as it was across calls whose failures mean
// nothing to the caller, such as a probe for a file that may be missing.
class Keep {
 public:
  Keep() : saved_(Get()) {}
  ~Keep() {
    if (keeping_)
      Set(saved_);
  }
  Keep(const Keep&) = delete;
  Keep& operator=(const Keep&) = delete;

  // Leaves the last error as it is now: the reason of a failure that counts.
  void Dismiss() { keeping_ = false; }

 private:
  int saved_;
  bool keeping_ = true;
};

}  // namespace lasterror

#endif
