#include "save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <qpdf/QPDFWriter.hh>

#include "document.h"
#include "errors.h"
#include "paths.h"
#include "testing_controls.h"

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
    Fail(kPDFLErrFileWrite);
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
      Fail(kPDFLErrFileWrite);
    return attributes;
  }
  attributes.existed = true;
  if (access(target.c_str(), W_OK) != 0 || (attributes.status.st_mode & 0222) == 0)
    Fail(kPDFLErrFileWrite);
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
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  if (fchmod(fd, mode) != 0)
    Fail(kPDFLErrFileWrite);
  for (const auto& [name, value] : attributes.extended)
    fsetxattr(fd, name.c_str(), value.data(), value.size(), 0);
}

// A new file in the target's directory that takes the target's place at the
// end. It has no name until then (O_TMPFILE), so a save killed midway leaves
// nothing behind; where the file system cannot do that, it has a short name
// from the start, so that any name the target may have can be saved over.
class NewFile {
 public:
  explicit NewFile(const std::string& directory) : directory_(directory) {
    int fd = open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
      name_ = directory + "/.pdfl-XXXXXX";
      fd = mkostemp(name_.data(), O_CLOEXEC);
      if (fd < 0)
        name_.clear();
    }
    if (fd < 0)
      Fail(kPDFLErrFileWrite);
    file_ = fdopen(fd, "w+b");
    if (!file_) {
      close(fd);
      Remove();
      Fail(kPDFLErrFileWrite);
    }
    // Large writes: the document goes out in a few hundred calls, not
    // thousands.
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
  }
  ~NewFile() {
    if (file_)
      std::fclose(file_);
    Remove();
  }
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  FILE* file() const { return file_; }

  // Gives it the attributes and flushes it to disk.
  void Finish(const Attributes& attributes) {
    if (std::fflush(file_) != 0)
      Fail(kPDFLErrFileWrite);
    int fd = fileno(file_);
    Apply(attributes, fd);
    if (fsync(fd) != 0)
      Fail(kPDFLErrFileWrite);
  }

  // Opens what was written, which stays readable after the rename.
  std::unique_ptr<QPDF> ReadBack() {
    int fd = dup(fileno(file_));
    FILE* copy = fd < 0 ? nullptr : fdopen(fd, "rb");
    if (!copy) {
      if (fd >= 0)
        close(fd);
      Fail(kPDFLErrFileWrite);
    }
    std::rewind(copy);
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->setAttemptRecovery(false);
    pdf->processFile("saved file", copy, true);
    if (!pdf->getRoot().isDictionary())
      Fail(kPDFLErrBadPDF);
    return pdf;
  }

  void RenameOver(const std::string& target) {
    if (name_.empty())
      Link();
    if (std::rename(name_.c_str(), target.c_str()) != 0)
      Fail(kPDFLErrFileWrite);
    name_.clear();
    int dir = open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      fsync(dir);
      close(dir);
    }
  }

 private:
  // A short name for the unnamed file, unique among this process's saves and
  // any other process's.
  void Link() {
    static std::atomic<unsigned> serial{0};
    std::string self = "/proc/self/fd/" + std::to_string(fileno(file_));
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = directory_ + "/.pdfl-" + std::to_string(getpid()) + "-" +
                         std::to_string(serial++);
      if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
          linkat(fileno(file_), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
        name_ = name;
        return;
      }
      if (errno != EEXIST)
        break;
    }
    Fail(kPDFLErrFileWrite);
  }

  void Remove() {
    if (!name_.empty())
      unlink(name_.c_str());
    name_.clear();
  }

  std::string directory_;
  std::string name_;  // empty while the file has no name
  FILE* file_ = nullptr;
};

bool HasObjectStreams(QPDF& pdf) {
  for (const auto& [object, entry] : pdf.getXRefTable()) {
    if (entry.getType() == 2)
      return true;
  }
  return false;
}

void Write(QPDF& pdf, const PDDocSaveParams& params, FILE* file) {
  QPDFWriter writer(pdf);
  writer.setOutputFile("new file", file, false);
  writer.setNewlineBeforeEndstream(true);
  writer.setLinearization((params.saveFlags & kPDSaveLinearized) != 0);
  // Object streams that the document has are kept as they are: packing
  // every object anew would cost half as much again as the rest of the save.
  if (params.saveFlags2 & kPDSave2Compressed)
    writer.setObjectStreamMode(HasObjectStreams(pdf) ? qpdf_o_preserve : qpdf_o_generate);
  else if (params.saveFlags2 & kPDSave2Uncompressed)
    writer.setObjectStreamMode(qpdf_o_disable);
  if (params.setVersion == 1) {
    std::string version =
        std::to_string(params.majorVersion) + "." + std::to_string(params.minorVersion);
    // Forcing an encrypted document below what its encryption needs would
    // write it undecryptable: there the version is a minimum.
    if (pdf.isEncrypted())
      writer.setMinimumPDFVersion(version);
    else
      writer.forcePDFVersion(version);
  }
  writer.write();
}

}  // namespace

void DocSaveWithParams(PDDoc doc, PDDocSaveParams* params) {
  // The testing raise comes once the new file is written, so that it takes
  // the path of a save that fails half way.
  Entry(nullptr, [&] {
    PDFLDoc& document = DocumentOf(doc);
    if (!params || params->size < sizeof(PDDocSaveParams) || !params->newPath)
      Fail(kPDFLErrBadParameter);
    std::string target = RealTarget(PathOf(params->newPath));
    Attributes attributes = AttributesOf(target);
    NewFile file(DirectoryOf(target));
    try {
      Write(*document.pdf, *params, file.file());
    } catch (const std::exception&) {
      Fail(kPDFLErrFileWrite);
    }
    // After the write, which has read every object: damage that QPDF
    // repaired on the way counts too.
    CheckNoPagesLost(document);
    file.Finish(attributes);
    TakeTestingRaise("PDDocSaveWithParams");
    std::unique_ptr<QPDF> saved = file.ReadBack();
    file.RenameOver(target);
    document.pdf = std::move(saved);
    document.repaired = false;
    ++Testing().counts.saves;
  });
}

}  // namespace pdfl
