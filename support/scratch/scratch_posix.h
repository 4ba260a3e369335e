// Named scratch files beside a target, which a writer holds with an open
// file description lock for as long as it runs. A writer killed while one of
// them has a name leaves it behind under a name made from the target's
// (".NAME.ROLE"), and the next writer of the same target, finding that name
// taken and its lock free, knows that its writer is gone and removes it.
// A name held by a running writer (of the same target, at the same moment)
// is waited for, never taken over: that writer renames it away before it
// lets it go.
#ifndef SUPPORT_SCRATCH_POSIX_H
#define SUPPORT_SCRATCH_POSIX_H

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace scratch {

// ".NAME.ROLE" in the target's directory; a long name is cut so that the
// whole stays within the system's limit of 255 bytes.
inline std::string NameFor(const std::string& target, const std::string& role) {
  size_t slash = target.rfind('/');
  std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  size_t room = 255 - 2 - role.size();
  return directory + "." + name.substr(0, room) + "." + role;
}

// Locks the open file description for writing, waiting for another writer's
// lock to go when `wait` is set; false when another writer holds it. The
// lock goes with the last descriptor of it, so a writer's death releases it,
// and no other descriptor the process opens on the same file can release it.
// A file system that keeps no locks claims nothing, and says true.
inline bool Claim(int fd, bool wait = false) {
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  while (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) != 0) {
    if (errno == EAGAIN || errno == EACCES)
      return false;
    if (errno != EINTR)
      return true;
  }
  return true;
}

// Whether `name` is the file open at `fd`.
inline bool IsNamed(int fd, const std::string& name) {
  struct stat open, named;
  return fstat(fd, &open) == 0 && lstat(name.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

// Waits until no running writer holds the file at `name`, and removes it if
// it is still there: its writer was killed. False when the name cannot be
// checked or the file removed.
inline bool RemoveAbandoned(const std::string& name) {
  int fd = open(name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0)
    return errno == ENOENT;
  bool removed = Claim(fd, true) && (!IsNamed(fd, name) || unlink(name.c_str()) == 0);
  close(fd);
  return removed;
}

// A new file at `name`, claimed before any other writer could take it for
// abandoned; -1 with errno set when it cannot be made.
inline int Create(const std::string& name) {
  // Each new attempt follows another writer's turn with the name.
  for (;;) {
    int fd = open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno != EEXIST || !RemoveAbandoned(name))
        return -1;
      continue;
    }
    // Another writer may have removed it between its creation and the claim.
    if (Claim(fd) && IsNamed(fd, name))
      return fd;
    close(fd);
  }
}

// Gives the claimed file at `fd`, which has no name (O_TMPFILE), the name
// `name`; false with errno set when it cannot.
inline bool Link(int fd, const std::string& name) {
  std::string self = "/proc/self/fd/" + std::to_string(fd);
  // Each new attempt follows another writer's turn with the name.
  for (;;) {
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
        linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0)
      return true;
    if (errno != EEXIST || !RemoveAbandoned(name))
      return false;
  }
}

}  // namespace scratch

#endif
