#include "thread_block.h"

#include <pthread.h>

#include <cstdlib>

namespace pdfl {

namespace {

static_assert(sizeof(pthread_key_t) <= sizeof(uint32_t), "the thread key fits the index");

// One key for the process, made at the first start and never deleted: a
// thread may be using it while another starts or ends the library. Each
// thread's block is freed when the library ends on that thread, or when the
// thread exits.
pthread_once_t threadKeyOnce = PTHREAD_ONCE_INIT;
bool haveThreadKey = false;
pthread_key_t threadKey;

void MakeThreadKey() {
  haveThreadKey = pthread_key_create(&threadKey, std::free) == 0;
}

}  // namespace

bool NewThreadBlock(uint32_t size, uint32_t* index) {
  pthread_once(&threadKeyOnce, MakeThreadKey);
  if (!haveThreadKey)
    return false;
  FreeThreadBlock();
  void* block = std::calloc(1, size);
  if (!block || pthread_setspecific(threadKey, block) != 0) {
    std::free(block);
    return false;
  }
  *index = static_cast<uint32_t>(threadKey);
  return true;
}

void FreeThreadBlock() {
  if (!haveThreadKey)
    return;
  std::free(pthread_getspecific(threadKey));
  pthread_setspecific(threadKey, nullptr);
}

}  // namespace pdfl
