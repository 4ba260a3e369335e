#include "library_lock.h"

#include <windows.h>

namespace {

SRWLOCK libraryLock = SRWLOCK_INIT;

}  // namespace

LibraryLock::LibraryLock() {
  AcquireSRWLockExclusive(&libraryLock);
}

LibraryLock::~LibraryLock() {
  ReleaseSRWLockExclusive(&libraryLock);
}
