// A scratch file in the target's directory that holds a write's first pass
// until the second pass has made the final file from it and renamed it over
// the target, so that the target changes by one rename or not at all. On
// POSIX it has no name (its path is the descriptor's, under /proc/self/fd),
// so a kill leaves nothing behind, or, where the file system cannot make such
// a file, the name ".NAME.docmark-tmp" beside the target, which the next
// write of the target removes if a kill left it. On Windows its name is
// ".NAME.PROCESS-SERIAL.docmark-tmp" beside the target, marked hidden and
// temporary; it is deleted when the object goes, and what a killed write
// left there the next write of the target removes.
#ifndef DOCMARK_OS_STAGING_FILE_H
#define DOCMARK_OS_STAGING_FILE_H

#include <cstdint>
#include <functional>
#include <string>

#include "path.h"

class StagingFile {
 public:
  explicit StagingFile(const PathChar* target);
  ~StagingFile();
  StagingFile(const StagingFile&) = delete;
  StagingFile& operator=(const StagingFile&) = delete;

  // Empty when no file could be made.
  const PathString& path() const { return path_; }
  // The size of what the library saved there; -1 when it cannot be read.
  int64_t Size() const;

 private:
  PathString path_;
#ifndef _WIN32
  int fd_;            // held open: its lock tells other writers this one runs
  std::string name_;  // where the system cannot make a file without a name
#endif
};

// When no file has `target`'s name, gives it back to a staging file that a
// write killed midway left beside it, the first for which `finished` says
// yes: an earlier kit's replace could lose the name between its two renames
// and leave the tagged copy only there. Nothing to do on POSIX, whose rename
// over the target is one step. Leaves the thread's last error as it was.
void RestoreLostTarget(const PathChar* target,
                       const std::function<bool(const PathChar* staging)>& finished);

#endif
