// FileRenameInfoEx is Windows 10's from 1607 on; an older system answers
// that it cannot, and the rename falls back to FileRenameInfo.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0A000002

#include "new_file.h"

#include <windows.h>

#include <string>
#include <vector>

#include "errors.h"
#include "file_input.h"
#include "file_stream_win32.h"
#include "last_error.h"
#include "scratch_win32.h"

namespace pdfl {

namespace {

// The access a new file is opened with: DELETE lets its handle rename it.
const DWORD kNewFileAccess = GENERIC_READ | GENERIC_WRITE | DELETE;

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
  lasterror::Keep keep;
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool VolumeOf(const std::wstring& path, DWORD& volume) {
  lasterror::Keep keep;
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
  HANDLE handle = CreateFileW(path.c_str(), kNewFileAccess, kShareAll, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  return StreamOf(handle, flags, mode);
}

// What the new file takes over from the one it replaces, as the system's
// own replace keeps it: the attributes, the creation time and the security
// descriptor (owner, group and access list, where the caller may set them).
struct Kept {
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  FILETIME created = {};
  std::vector<char> security;  // self-relative; empty when it cannot be read
};

const SECURITY_INFORMATION kSecurityParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// The file's security descriptor, self-relative; empty when it cannot be read.
std::vector<char> SecurityOf(const std::wstring& path) {
  lasterror::Keep keep;
  DWORD size = 0;
  GetFileSecurityW(path.c_str(), kSecurityParts, nullptr, 0, &size);
  std::vector<char> security(size);
  if (size == 0 || !GetFileSecurityW(path.c_str(), kSecurityParts, security.data(), size, &size))
    security.clear();
  return security;
}

Kept KeptOf(const std::wstring& target) {
  lasterror::Keep keep;
  Kept kept;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data)) {
    kept.attributes = data.dwFileAttributes;
    kept.created = data.ftCreationTime;
  }
  kept.security = SecurityOf(target);
  return kept;
}

// Gives the file open at `handle` and named `name` what `kept` holds. Only
// the attributes must be set: a file that keeps its owner or its access list
// where the caller may not set them is what a copy would make too.
void Apply(const Kept& kept, HANDLE handle, const std::wstring& name) {
  FILE_BASIC_INFO basic = {};
  basic.CreationTime.LowPart = kept.created.dwLowDateTime;
  basic.CreationTime.HighPart = static_cast<LONG>(kept.created.dwHighDateTime);
  basic.FileAttributes = kept.attributes & ~FILE_ATTRIBUTE_TEMPORARY;
  if (basic.FileAttributes == 0)
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (!SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic))
    FailSystem(kPDFLErrFileWrite);
  // A file made in the target's folder mostly has the target's descriptor
  // already, inherited from the folder.
  if (kept.security.empty() || kept.security == SecurityOf(name))
    return;
  lasterror::Keep keep;
  auto* descriptor = const_cast<char*>(kept.security.data());
  if (!SetFileSecurityW(name.c_str(), kSecurityParts, descriptor))
    SetFileSecurityW(name.c_str(), DACL_SECURITY_INFORMATION, descriptor);
}

// Renames the file open at `handle` over `target` in one step, so that at
// every instant `target` names the old file or the new one. POSIX semantics
// replace a target that a reader holds open, as the system's own replace
// does; a system or file system without them renames by the older call,
// which fails while the target is open.
bool RenameOver(HANDLE handle, const std::wstring& target) {
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->Flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
  rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  target.copy(rename->FileName, target.size());
  DWORD size = static_cast<DWORD>(buffer.size());
  if (SetFileInformationByHandle(handle, FileRenameInfoEx, rename, size))
    return true;
  DWORD error = GetLastError();
  if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED &&
      error != ERROR_INVALID_FUNCTION && error != ERROR_CALL_NOT_IMPLEMENTED)
    return false;
  rename->Flags = 0;
  rename->ReplaceIfExists = TRUE;
  return SetFileInformationByHandle(handle, FileRenameInfo, rename, size) != 0;
}

}  // namespace

// The new file has a name beside the target from the start, made from the
// target's (".NAME.PROCESS-SERIAL.pdfl-tmp"), so that what a killed save
// leaves the next save of the target removes. It takes the target's place
// by a rename of its open handle.
struct NewFile::State {
  std::wstring target;
  std::wstring name;     // empty once it replaced the target
  bool owned = true;     // made by this save, so removed if it fails
  bool inPlace = false;  // the target itself, a caller's scratch file
  FILE* file = nullptr;
  Kept kept;

  // Refuses a target that is read-only or a directory, as writing over it
  // in place would fail.
  void CheckTarget() {
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      if (GetLastError() != ERROR_FILE_NOT_FOUND)
        FailSystem(kPDFLErrFileWrite);
    } else if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
      FailSystem(kPDFLErrFileWrite, ERROR_ACCESS_DENIED);
    } else {
      kept = KeptOf(target);
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
    FailSystem(kPDFLErrFileWrite);
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
      FailSystem(kPDFLErrFileWrite);
    std::setvbuf(s.file, nullptr, _IOFBF, 1 << 20);
    return;
  }
  s.CheckTarget();
  HANDLE handle = scratch::Create(target, L"pdfl-tmp", kNewFileAccess, kShareAll,
                                  FILE_ATTRIBUTE_NORMAL, s.name);
  if (handle == INVALID_HANDLE_VALUE) {
    s.name.clear();
    FailSystem(kPDFLErrFileWrite);
  }
  s.file = StreamOf(handle, _O_RDWR, "w+b");
  if (!s.file)
    FailSystem(kPDFLErrFileWrite);
  std::setvbuf(s.file, nullptr, _IOFBF, 1 << 20);
}

NewFile::~NewFile() {
  lasterror::Keep keep;
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
    FailStdio(kPDFLErrFileWrite);
  // A scratch file written in place is flushed when it takes the target's
  // place, if it does.
  if (state_->inPlace)
    return;
  Apply(state_->kept, HandleOf(state_->file), state_->name);
  if (!FlushFileBuffers(HandleOf(state_->file)))
    FailSystem(kPDFLErrFileWrite);
}

// A second handle of the new file, read through the block cache. Every
// handle of it shares deletion, so the rename leaves this one open on the
// file under the target's name.
std::shared_ptr<InputSource> NewFile::OpenCopy() {
  FILE* file = OpenForReading(state_->name);
  if (!file)
    FailSystem(kPDFLErrFileWrite);
  return std::make_shared<FileInput>("saved file", file);
}

void NewFile::ReplaceTarget() {
  State& s = *state_;
  if (s.inPlace)
    return;
  if (!RenameOver(HandleOf(s.file), s.target))
    FailSystem(kPDFLErrFileWrite);
  s.name.clear();
}

}  // namespace pdfl
