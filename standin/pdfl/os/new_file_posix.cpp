#include "new_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "errors.h"
#include "file_input.h"
#include "hooks.h"
#include "scratch_posix.h"

namespace pdfl {

namespace {

// The file a save replaces: a symbolic link is written through to the file
// it names, and stays a link.
std::string RealTarget(const std::string& path) {
  struct stat link;
  if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
    return path;
  char resolved[PATH_MAX];
  if (!realpath(path.c_str(), resolved))
    FailSystem(kPDFLErrFileWrite);
  return resolved;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// What the new file takes over from the one it replaces. A rename would
// replace a file whatever its permissions, so a file that the caller may not
// write, or that no one may (the read-only attribute of Windows), is refused
// as writing over it in place would be.
struct Attributes {
  bool existed = false;
  struct stat status = {};
  std::vector<std::pair<std::string, std::string>> extended;  // ACLs and labels too
};

Attributes AttributesOf(const std::string& target) {
  Attributes attributes;
  if (stat(target.c_str(), &attributes.status) != 0) {
    if (errno != ENOENT)
      FailSystem(kPDFLErrFileWrite);
    return attributes;
  }
  attributes.existed = true;
  if (access(target.c_str(), W_OK) != 0)
    FailSystem(kPDFLErrFileWrite);
  if ((attributes.status.st_mode & 0222) == 0)
    FailSystem(kPDFLErrFileWrite, EACCES);
  ssize_t size = listxattr(target.c_str(), nullptr, 0);
  std::string names(size > 0 ? size : 0, '\0');
  size = size > 0 ? listxattr(target.c_str(), names.data(), names.size()) : 0;
  for (size_t at = 0; size > 0 && at < static_cast<size_t>(size); at = names.find('\0', at) + 1) {
    const char* name = names.c_str() + at;
    ssize_t length = getxattr(target.c_str(), name, nullptr, 0);
    std::string value(length > 0 ? length : 0, '\0');
    if (length >= 0 && getxattr(target.c_str(), name, value.data(), value.size()) == length)
      attributes.extended.emplace_back(name, value);
  }
  return attributes;
}

// The process's file mode mask, read without changing it: umask() can only
// read it by setting it, which would race with another thread's save.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.compare(0, 6, "Umask:") == 0)
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
  }
  return 022;  // a kernel too old to say: the usual mask
}

// Owner and group first, since changing them clears the set-id bits of the
// mode. Each is kept where the caller may set it, and dropped otherwise, as
// a copy would drop it.
void Apply(const Attributes& attributes, int fd) {
  mode_t mode;
  if (attributes.existed) {
    if (fchown(fd, attributes.status.st_uid, attributes.status.st_gid) != 0)
      (void)!fchown(fd, -1, attributes.status.st_gid);
    mode = attributes.status.st_mode & 07777;
  } else {
    mode = 0666 & ~CurrentUmask();
  }
  if (fchmod(fd, mode) != 0)
    FailSystem(kPDFLErrFileWrite);
  for (const auto& [name, value] : attributes.extended)
    fsetxattr(fd, name.c_str(), value.data(), value.size(), 0);
}

// A caller's scratch file reached through its descriptor. Known by its path
// as well as by its link count: a named file that another writer renames a
// file over at that moment can stat with a count of 0.
bool IsUnnamed(const std::string& path, struct stat& status) {
  static const char kDescriptors[] = "/proc/self/fd/";
  return path.compare(0, sizeof kDescriptors - 1, kDescriptors) == 0 &&
         stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_nlink == 0;
}

}  // namespace

bool CanTakeTargetsPlace(const NativePath& unnamed, const NativePath& target) {
  struct stat file, directory;
  return IsUnnamed(unnamed, file) &&
         stat(DirectoryOf(RealTarget(target)).c_str(), &directory) == 0 &&
         file.st_dev == directory.st_dev;
}

// The new file has no name until the end (O_TMPFILE), so a save killed midway
// leaves nothing behind; where the file system cannot do that, it has a name
// from the start. Either name is the one scratch::NameFor gives the target,
// held by this writer's lock, so that what a killed save leaves is removed
// by the next save of the same target.
struct NewFile::State {
  std::string target;
  std::string directory;
  Attributes attributes;
  std::string name;  // empty while the file has no name
  FILE* file = nullptr;
  bool inPlace = false;  // the target itself, which has no name

  std::string ScratchName() const { return scratch::NameFor(target, "pdfl-tmp"); }

  void Link() {
    int fd = fileno(file);
    if (!scratch::Claim(fd) || !scratch::Link(fd, ScratchName()))
      FailSystem(kPDFLErrFileWrite);
    name = ScratchName();
    CurrentHooks().Reached("named");
  }

  // Removes the name, if it is still this file's.
  void Remove() {
    if (!name.empty() && scratch::IsNamed(fileno(file), name))
      unlink(name.c_str());
    name.clear();
  }
};

NewFile::NewFile(const NativePath& target) : state_(new State) {
  State& s = *state_;
  // A file with no name (a caller's scratch file, reached through
  // /proc/self/fd) cannot be replaced, and no one else can see it half
  // written: it is written in place.
  struct stat status;
  if (IsUnnamed(target, status)) {
    int fd = open(target.c_str(), O_RDWR | O_TRUNC | O_CLOEXEC);
    s.file = fd < 0 ? nullptr : fdopen(fd, "w+b");
    if (!s.file) {
      if (fd >= 0)
        close(fd);
      FailSystem(kPDFLErrFileWrite);
    }
    s.inPlace = true;
    std::setvbuf(s.file, nullptr, _IOFBF, 1 << 20);
    return;
  }
  s.target = RealTarget(target);
  s.attributes = AttributesOf(s.target);
  s.directory = DirectoryOf(s.target);
  int fd = open(s.directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    fd = scratch::Create(s.ScratchName());
    if (fd >= 0)
      s.name = s.ScratchName();
  }
  if (fd < 0)
    FailSystem(kPDFLErrFileWrite);
  s.file = fdopen(fd, "w+b");
  if (!s.file) {
    if (!s.name.empty())
      unlink(s.name.c_str());  // still this file's: its lock is held
    s.name.clear();
    close(fd);
    FailSystem(kPDFLErrFileWrite);
  }
  // Large writes: the document goes out in a few hundred calls, not
  // thousands.
  std::setvbuf(s.file, nullptr, _IOFBF, 1 << 20);
}

NewFile::NewFile(const NativePath& target, const NativePath& unnamed) : state_(new State) {
  State& s = *state_;
  s.target = RealTarget(target);
  s.attributes = AttributesOf(s.target);
  s.directory = DirectoryOf(s.target);
  int fd = open(unnamed.c_str(), O_RDWR | O_CLOEXEC);
  s.file = fd < 0 ? nullptr : fdopen(fd, "r+b");
  if (!s.file) {
    if (fd >= 0)
      close(fd);
    FailSystem(kPDFLErrFileWrite);
  }
}

NewFile::~NewFile() {
  if (!state_->file)
    return;
  state_->Remove();
  std::fclose(state_->file);
}

FILE* NewFile::file() const {
  return state_->file;
}

void NewFile::Finish() {
  if (std::fflush(state_->file) != 0)
    FailStdio(kPDFLErrFileWrite);
  // A file with no name does not outlive the process: it needs no flush.
  if (state_->inPlace)
    return;
  int fd = fileno(state_->file);
  Apply(state_->attributes, fd);
  if (fsync(fd) != 0)
    FailSystem(kPDFLErrFileWrite);
  CurrentHooks().Reached("flushed");
}

// A second descriptor of the new file, which follows it through the rename.
std::shared_ptr<InputSource> NewFile::OpenCopy() {
  int fd = dup(fileno(state_->file));
  FILE* copy = fd < 0 ? nullptr : fdopen(fd, "rb");
  if (!copy) {
    if (fd >= 0)
      close(fd);
    FailSystem(kPDFLErrFileWrite);
  }
  std::rewind(copy);
  return std::make_shared<FileInput>("saved file", copy);
}

void NewFile::ReplaceTarget() {
  State& s = *state_;
  if (s.inPlace)
    return;
  // The name comes just before the rename, so that a kill leaves a named
  // file behind only between the two calls.
  if (s.name.empty())
    s.Link();
  // Only on a file system that keeps no locks could another writer have
  // taken the name; its file is never renamed in this one's stead.
  if (!scratch::IsNamed(fileno(s.file), s.name))
    Fail(kPDFLErrFileWrite);
  if (std::rename(s.name.c_str(), s.target.c_str()) != 0)
    FailSystem(kPDFLErrFileWrite);
  s.name.clear();
  CurrentHooks().Reached("replaced");
  int dir = open(s.directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
}

}  // namespace pdfl
