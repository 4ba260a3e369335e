#include "library_lock.h"

#include <pthread.h>

namespace {

pthread_mutex_t libraryMutex = PTHREAD_MUTEX_INITIALIZER;

}  // namespace

LibraryLock::LibraryLock() {
  pthread_mutex_lock(&libraryMutex);
}

LibraryLock::~LibraryLock() {
  pthread_mutex_unlock(&libraryMutex);
}
