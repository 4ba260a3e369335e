#include "save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

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

// The mode the new file gets: the old file's, or what a new file would get.
// A rename would replace a file whatever its permissions, so a file that the
// caller may not write, or that no one may (the read-only attribute of
// Windows), is refused as writing over it in place would be.
mode_t ModeFor(const std::string& target) {
  struct stat old;
  if (stat(target.c_str(), &old) == 0) {
    if (access(target.c_str(), W_OK) != 0 || (old.st_mode & 0222) == 0)
      Fail(kPDFLErrFileWrite);
    return old.st_mode & 07777;
  }
  if (errno != ENOENT)
    Fail(kPDFLErrFileWrite);
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// A temporary file beside the target, removed unless it was renamed over it.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) {
    size_t slash = target.rfind('/');
    std::string name = target.substr(slash == std::string::npos ? 0 : slash + 1);
    path_ = DirectoryOf(target) + "/." + name + ".pdfl-XXXXXX";
    int fd = mkstemp(path_.data());
    if (fd < 0)
      Fail(kPDFLErrFileWrite);
    file_ = fdopen(fd, "wb");
    if (!file_) {
      close(fd);
      unlink(path_.c_str());
      Fail(kPDFLErrFileWrite);
    }
  }
  ~TemporaryFile() {
    if (file_)
      std::fclose(file_);
    if (!renamed_)
      unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& path() const { return path_; }
  FILE* file() const { return file_; }

  // Flushes the data to disk and closes the file.
  void Finish(mode_t mode) {
    int fd = fileno(file_);
    bool ok = fchmod(fd, mode) == 0 && std::fflush(file_) == 0 && fsync(fd) == 0;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok)
      Fail(kPDFLErrFileWrite);
  }

  void RenameOver(const std::string& target) {
    if (std::rename(path_.c_str(), target.c_str()) != 0)
      Fail(kPDFLErrFileWrite);
    renamed_ = true;
    int dir = open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
      fsync(dir);
      close(dir);
    }
  }

 private:
  std::string path_;
  FILE* file_ = nullptr;
  bool renamed_ = false;
};

void Write(QPDF& pdf, const PDDocSaveParams& params, FILE* file, const std::string& name) {
  QPDFWriter writer(pdf);
  writer.setOutputFile(name.c_str(), file, false);
  writer.setNewlineBeforeEndstream(true);
  writer.setLinearization((params.saveFlags & kPDSaveLinearized) != 0);
  if (params.saveFlags2 & kPDSave2Compressed)
    writer.setObjectStreamMode(qpdf_o_generate);
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
  // The testing raise comes once the temporary file is written, so that it
  // takes the path of a save that fails half way.
  Entry(nullptr, [&] {
    PDFLDoc& document = DocumentOf(doc);
    if (!params || params->size < sizeof(PDDocSaveParams) || !params->newPath)
      Fail(kPDFLErrBadParameter);
    std::string target = RealTarget(PathOf(params->newPath));
    mode_t mode = ModeFor(target);
    TemporaryFile temporary(target);
    try {
      Write(*document.pdf, *params, temporary.file(), temporary.path());
    } catch (const std::exception&) {
      Fail(kPDFLErrFileWrite);
    }
    temporary.Finish(mode);
    TakeTestingRaise("PDDocSaveWithParams");
    std::unique_ptr<QPDF> saved = ReadPdf(temporary.path(), false);
    temporary.RenameOver(target);
    document.pdf = std::move(saved);
    ++Testing().counts.saves;
  });
}

}  // namespace pdfl
