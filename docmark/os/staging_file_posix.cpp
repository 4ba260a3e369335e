#include "staging_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "file_probe.h"
#include "last_error.h"
#include "scratch_posix.h"
#include "utf8.h"

StagingFile::StagingFile(const PathChar* target) : fd_(-1) {
  // A file system without O_TMPFILE fails the first try: its reason is no
  // reason for the host, unless the second fails too.
  lasterror::Keep keep;
  std::string path = utf8::EncodeLossless(std::basic_string_view<PathChar>(target));
  size_t slash = path.rfind('/');
  std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  fd_ = open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd_ >= 0) {
    path_ = utf8::DecodeLossless<PathString>("/proc/self/fd/" + std::to_string(fd_));
  } else if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
    // Without O_TMPFILE, a file with a name made from the target's, held
    // while the write runs and removed at its end; what a killed write
    // leaves there, the next write of the target removes.
    std::string name = scratch::NameFor(path, "docmark-tmp");
    fd_ = scratch::Create(name);
    if (fd_ < 0) {
      keep.Dismiss();
      return;
    }
    name_ = name;
    path_ = utf8::DecodeLossless<PathString>(name_);
  } else {
    keep.Dismiss();
  }
}

StagingFile::~StagingFile() {
  lasterror::Keep keep;
  if (!name_.empty())
    unlink(name_.c_str());
  if (fd_ >= 0)
    close(fd_);
}

int64_t StagingFile::Size() const {
  int64_t size = -1;
  return FindEntry(path_.c_str(), &size) ? size : -1;
}

void RestoreLostTarget(const PathChar*, const std::function<bool(const PathChar*)>&) {}
