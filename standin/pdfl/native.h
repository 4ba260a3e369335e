// The stand-in's platform layer: native paths, reading and replacing files,
// and the calling thread's table block. One implementation per target:
// native_posix.cpp and native_win32.cpp.
#ifndef PDFL_NATIVE_H
#define PDFL_NATIVE_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include <qpdf/InputSource.hh>

namespace pdfl {

// A path as the file system takes it: on Windows the caller's UTF-16 as it
// is; on POSIX bytes, UTF-8 with each escaped byte (U+DC80 to U+DCFF) restored.
#ifdef _WIN32
using NativePath = std::wstring;
#else
using NativePath = std::string;
#endif

// False when the units name no file.
bool ToNativePath(const std::u16string& units, NativePath& path);

// Opens a file for reading in binary, shared so that a save can replace it
// while it is open; null when it cannot be opened.
FILE* OpenForReading(const NativePath& path);

// Appends `length` bytes of `from`, starting at `offset`, to `to`: on Linux
// inside the kernel, as cp copies. Throws when they cannot all be copied.
void CopyBytes(FILE* from, int64_t offset, int64_t length, FILE* to);

// Makes a zero-filled block of `size` bytes the calling thread's table block,
// freeing the one it had, and stores the thread-local index into *index.
bool NewThreadBlock(uint32_t size, uint32_t* index);
// Frees the calling thread's table block, if it has one.
void FreeThreadBlock();

// Whether the file at `unnamed` has no name (a caller's scratch file reached
// through /proc/self/fd) and sits on the file system of the target's
// directory, so that it can take the target's place itself. Never on Windows.
bool CanTakeTargetsPlace(const NativePath& unnamed, const NativePath& target);

// A new file in the target's directory that takes the target's place at the
// end, so that the target is either the old file or the new one, never a mix.
// The new file keeps what the system lets it keep of the old one: owner,
// mode and extended attributes on POSIX, where a symbolic link is written
// through and stays a link; attributes and ACLs on Windows. Every failure
// raises kPDFLErrFileWrite, and the new file goes away unless it replaced
// the target. A target that has no name (a caller's scratch file reached
// through /proc/self/fd) is written in place, without a flush: no one else
// can see it, and it does not outlive its process.
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
