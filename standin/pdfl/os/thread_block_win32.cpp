#include "thread_block.h"

#include <windows.h>

#include <cstdlib>

#include "last_error.h"

namespace pdfl {

namespace {

// One index for the process, made at the first start and never freed: a
// thread may be using it while another starts or ends the library.
DWORD TableIndex() {
  static const DWORD index = TlsAlloc();
  return index;
}

}  // namespace

bool NewThreadBlock(uint32_t size, uint32_t* index) {
  DWORD tls = TableIndex();
  if (tls == TLS_OUT_OF_INDEXES)
    return false;
  FreeThreadBlock();
  void* block = std::calloc(1, size);
  if (!block || !TlsSetValue(tls, block)) {
    std::free(block);
    return false;
  }
  *index = tls;
  return true;
}

void FreeThreadBlock() {
  lasterror::Keep keep;  // TlsGetValue clears it
  DWORD tls = TableIndex();
  if (tls == TLS_OUT_OF_INDEXES)
    return;
  std::free(TlsGetValue(tls));
  TlsSetValue(tls, nullptr);
}

}  // namespace pdfl

// A thread that ends frees its table block.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_THREAD_DETACH)
    pdfl::FreeThreadBlock();
  return TRUE;
}
