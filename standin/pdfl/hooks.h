// The points where a testing build of the library steps in, each with an
// answer that changes nothing. The library as shipped runs these defaults;
// the testing library (pdfl_testing) installs hooks of its own when it loads.
#ifndef PDFL_HOOKS_H
#define PDFL_HOOKS_H

#include <cstdint>

#include "pdfl/pdfl.h"

namespace pdfl {

enum class Event { kStarted, kEnded, kOpened, kClosed, kSaved, kCopied };

class Hooks {
 public:
  virtual ~Hooks() = default;

  // PDFLInit, with the record it was handed (or null): a non-zero code
  // refuses the start.
  virtual int32_t Init(const PDFLInitRecord*) { return 0; }
  // PDFLInitThreadLocalData: false makes it fail.
  virtual bool ThreadData() { return true; }
  // The version the named table is offered at, given the library's own (0:
  // not at all), and whether HFTGetVersion may tell it.
  virtual uint32_t TableVersion(const char*, uint32_t version) { return version; }
  virtual bool TableVersionKnown(const char*) { return true; }
  // Where the named operation may fail: at its start, or, for the save, once
  // the new file is written. The code it is to raise there, or 0. It may
  // throw past the operation instead, as a C++ runtime's exception would.
  virtual ASErrorCode Fault(const char*) { return 0; }
  // Something that completed: a start, an end, an open, a close, a save, and
  // among the saves, a copy.
  virtual void Count(Event) {}
  // PDDocGetXAPMetadata: true delivers an empty packet.
  virtual bool EmptyPacket() { return false; }
  // PDDocPermRequest: true denies the operation.
  virtual bool DeniesPermission(int32_t) { return false; }
  // A save that reached a step of replacing its target: "flushed" (the new
  // file is on disk), "named" (it has its scratch name), "replaced".
  virtual void Reached(const char*) {}
  // A save by a copy: true writes its first change one byte early, as a
  // wrong plan would, for the copy's proof to catch.
  virtual bool DamageCopy() { return false; }
};

// The installed hooks, or the defaults.
Hooks& CurrentHooks();
void InstallHooks(Hooks* hooks);

}  // namespace pdfl

#endif
