// The new file of a save, which takes its target's place at the end, so that
// the target is either the old file or the new one, never a mix.
#ifndef PDFL_OS_NEW_FILE_H
#define PDFL_OS_NEW_FILE_H

#include <cstdio>
#include <memory>

#include <qpdf/InputSource.hh>

#include "native_path.h"

namespace pdfl {

// Whether the file at `unnamed` is a caller's scratch file (on POSIX one with
// no name, reached through /proc/self/fd; on Windows one of docmark's named
// ".NAME.PROCESS-N.docmark-tmp") on the volume of the target's directory, so
// that it can take the target's place itself.
bool CanTakeTargetsPlace(const NativePath& unnamed, const NativePath& target);

// A new file in the target's directory that takes the target's place at the
// end, by one rename. The new file keeps what the system lets it keep of the
// old one: owner, mode and extended attributes on POSIX, where a symbolic
// link is written through and stays a link; attributes, creation time and
// security descriptor on Windows. Every failure raises kPDFLErrFileWrite
// with the system's reason, and the new file goes away unless it replaced
// the target. A target that is a caller's scratch file is written in place,
// without a flush: no one else can see it, and it does not outlive the write.
class NewFile {
 public:
  // Refuses a target that the caller may not write or that is read-only,
  // as writing over it in place would fail.
  explicit NewFile(const NativePath& target);
  // The file at `unnamed` itself, which CanTakeTargetsPlace allows, opened
  // for patching in place: no one else can see it change.
  NewFile(const NativePath& target, const NativePath& unnamed);
  ~NewFile();
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  // Open for writing.
  FILE* file() const;
  // Gives it the target's attributes and flushes it to disk.
  void Finish();
  // What was written, for QPDF to read; it stays valid after the replace.
  std::shared_ptr<InputSource> OpenCopy();
  // Puts the new file in the target's place.
  void ReplaceTarget();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace pdfl

#endif
