#include "new_file.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "errors.h"
#include "file_input.h"
#include "file_stream_win32.h"

namespace pdfl {

namespace {

// What tells one file from another: its volume and its index there.
struct FileId {
  DWORD volume = 0;
  DWORD high = 0;
  DWORD low = 0;
  bool operator==(const FileId& other) const {
    return volume == other.volume && high == other.high && low == other.low;
  }
};

bool IdOf(FILE* stream, FileId& id) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(HandleOf(stream), &info))
    return false;
  id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return true;
}

// The directory part of a full path, with its separator.
std::wstring DirectoryOf(const std::wstring& path) {
  size_t separator = path.find_last_of(L'\\');
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

// docmark's scratch files (".NAME.PROCESS-SERIAL.docmark-tmp" beside its
// target) are the caller's own, made for one write and read by no one else:
// one is written in place, and may take the target's place itself, so that
// a write costs one copy. The name tells, since Windows keeps no mark that
// every file system keeps (FILE_ATTRIBUTE_TEMPORARY is lost on some).
bool IsScratch(const std::wstring& path) {
  const std::wstring suffix = L".docmark-tmp";
  if (path.size() <= suffix.size() ||
      path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0)
    return false;
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool VolumeOf(const std::wstring& path, DWORD& volume) {
  // Backup semantics: a directory opens too.
  HANDLE handle = CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  volume = info.dwVolumeSerialNumber;
  return known;
}

FILE* OpenExisting(const std::wstring& path, DWORD disposition, int flags, const char* mode) {
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return StreamOf(handle, flags, mode);
}

}  // namespace

// The new file has a short name in the target's directory from the start;
// ReplaceFileW then keeps the target's attributes, ACLs and streams, as the
// POSIX build keeps owner, mode and extended attributes. A save killed
// midway leaves that file behind.
struct NewFile::State {
  std::wstring target;
  bool existed = false;
  std::wstring name;     // empty once it replaced the target
  bool owned = true;     // made by this save, so removed if it fails
  bool inPlace = false;  // the target itself, a caller's scratch file
  FILE* file = nullptr;
  std::shared_ptr<FileInput> copy;

  // Refuses a target that is read-only or a directory, as writing over it
  // in place would fail.
  void CheckTarget() {
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      if (GetLastError() != ERROR_FILE_NOT_FOUND)
        Fail(kPDFLErrFileWrite);
    } else if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
      Fail(kPDFLErrFileWrite);
    } else {
      existed = true;
    }
  }
};

bool CanTakeTargetsPlace(const NativePath& scratch, const NativePath& target) {
  DWORD scratchVolume = 0, targetVolume = 0;
  return IsScratch(scratch) && VolumeOf(scratch, scratchVolume) &&
         VolumeOf(DirectoryOf(target), targetVolume) && scratchVolume == targetVolume;
}

NewFile::NewFile(const NativePath& target, const NativePath& scratch) : state_(new State) {
  State& s = *state_;
  s.target = target;
  s.CheckTarget();
  s.name = scratch;
  s.owned = false;  // the caller's, which it removes itself
  s.file = OpenExisting(scratch, OPEN_EXISTING, _O_RDWR, "r+b");
  if (!s.file)
    Fail(kPDFLErrFileWrite);
}

NewFile::NewFile(const NativePath& target) : state_(new State) {
  State& s = *state_;
  s.target = target;
  if (IsScratch(target)) {
    s.name = target;
    s.owned = false;
    s.inPlace = true;
    s.file = OpenExisting(target, TRUNCATE_EXISTING, _O_RDWR, "w+b");
    if (!s.file)
      Fail(kPDFLErrFileWrite);
    std::setvbuf(s.file, nullptr, _IOFBF, 1 << 20);
    return;
  }
  s.CheckTarget();
  static std::atomic<unsigned> serial{0};
  std::wstring directory = DirectoryOf(target);
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
    s.name = directory + L".pdfl-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(serial++) + L".tmp";
    handle = CreateFileW(s.name.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
      break;
  }
  if (handle == INVALID_HANDLE_VALUE) {
    s.name.clear();
    Fail(kPDFLErrFileWrite);
  }
  s.file = StreamOf(handle, _O_RDWR, "w+b");
  if (!s.file)
    Fail(kPDFLErrFileWrite);
  std::setvbuf(s.file, nullptr, _IOFBF, 1 << 20);
}

NewFile::~NewFile() {
  if (state_->file)
    std::fclose(state_->file);
  if (state_->owned && !state_->name.empty())
    DeleteFileW(state_->name.c_str());
}

FILE* NewFile::file() const {
  return state_->file;
}

void NewFile::Finish() {
  if (std::fflush(state_->file) != 0)
    Fail(kPDFLErrFileWrite);
  // A scratch file is flushed when it takes the target's place, if it does.
  if (!state_->inPlace && !FlushFileBuffers(HandleOf(state_->file)))
    Fail(kPDFLErrFileWrite);
}

// A second handle of the new file, read through the block cache. ReplaceFileW
// refuses a replacement that is still open: ReplaceTarget closes this handle
// across the replace and opens the file again under the target's name.
std::shared_ptr<InputSource> NewFile::OpenCopy() {
  FILE* file = OpenForReading(state_->name);
  if (!file)
    Fail(kPDFLErrFileWrite);
  state_->copy = std::make_shared<FileInput>("saved file", file);
  return state_->copy;
}

void NewFile::ReplaceTarget() {
  State& s = *state_;
  if (s.inPlace)
    return;
  FileId written;
  bool known = IdOf(s.file, written);
  bool closed = std::fclose(s.file) == 0;
  s.file = nullptr;
  if (!known || !closed)
    Fail(kPDFLErrFileWrite);
  if (s.copy)
    s.copy->Close();
  // A scratch file that becomes the target is an ordinary file from now on.
  if (!s.owned && !SetFileAttributesW(s.name.c_str(), FILE_ATTRIBUTE_NORMAL))
    Fail(kPDFLErrFileWrite);
  bool replaced = s.existed ? ReplaceFileW(s.target.c_str(), s.name.c_str(), nullptr,
                                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                            : MoveFileExW(s.name.c_str(), s.target.c_str(),
                                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!replaced)
    Fail(kPDFLErrFileWrite);
  s.name.clear();
  if (!s.copy)
    return;
  // Another process may have replaced the target since: then this is not the
  // file that was written.
  FILE* again = OpenForReading(s.target);
  FileId id;
  if (!again || !IdOf(again, id) || !(id == written)) {
    if (again)
      std::fclose(again);
    Fail(kPDFLErrFileWrite);
  }
  s.copy->Reopen(again);
}

}  // namespace pdfl
