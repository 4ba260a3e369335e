#include "native.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <vector>

#include <qpdf/Buffer.hh>
#include <qpdf/BufferInputSource.hh>

#include "errors.h"

namespace pdfl {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "paths are UTF-16 as they come");

// Every share mode, so that a save can replace a file that a document still
// reads, and a document can read a file a save is writing.
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// One index for the process, made at the first start and never freed: a
// thread may be using it while another starts or ends the library.
std::once_flag tableIndexOnce;
DWORD tableIndex = TLS_OUT_OF_INDEXES;

DWORD TableIndex() {
  std::call_once(tableIndexOnce, [] { tableIndex = TlsAlloc(); });
  return tableIndex;
}

// A C stream over a handle; the handle is closed on failure.
FILE* StreamOf(HANDLE handle, int flags, const char* mode) {
  if (handle == INVALID_HANDLE_VALUE)
    return nullptr;
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* stream = _fdopen(fd, mode);
  if (!stream)
    _close(fd);
  return stream;
}

HANDLE HandleOf(FILE* stream) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

// The directory part with its separator; empty for a name alone.
std::wstring DirectoryOf(const std::wstring& path) {
  size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

}  // namespace

bool ToNativePath(const std::u16string& units, NativePath& path) {
  path.assign(units.begin(), units.end());
  return true;
}

FILE* OpenForReading(const NativePath& path) {
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  return StreamOf(handle, _O_RDONLY, "rb");
}

bool NewThreadBlock(uint32_t size, uint32_t* index) {
  DWORD tls = TableIndex();
  if (tls == TLS_OUT_OF_INDEXES)
    return false;
  FreeThreadBlock();
  void* block = std::calloc(1, size);
  if (!block || !TlsSetValue(tls, block)) {
    std::free(block);
    return false;
  }
  *index = tls;
  return true;
}

void FreeThreadBlock() {
  DWORD tls = TableIndex();
  if (tls == TLS_OUT_OF_INDEXES)
    return;
  std::free(TlsGetValue(tls));
  TlsSetValue(tls, nullptr);
}

// The new file has a short name in the target's directory from the start;
// ReplaceFileW then keeps the target's attributes, ACLs and streams, as the
// POSIX build keeps owner, mode and extended attributes. A save killed
// midway leaves that file behind.
struct NewFile::State {
  std::wstring target;
  bool existed = false;
  std::wstring name;  // empty once it replaced the target
  FILE* file = nullptr;
};

void CopyBytes(FILE* from, int64_t offset, int64_t length, FILE* to) {
  std::vector<char> block(1 << 20);
  if (_fseeki64(from, offset, SEEK_SET) != 0)
    throw std::runtime_error("seek failed");
  while (length > 0) {
    size_t want = static_cast<size_t>(std::min<int64_t>(length, block.size()));
    size_t got = std::fread(block.data(), 1, want, from);
    if (got == 0 || std::fwrite(block.data(), 1, got, to) != got)
      throw std::runtime_error("copy failed");
    length -= got;
  }
}

bool CanTakeTargetsPlace(const NativePath&, const NativePath&) {
  return false;  // every file has a name here
}

// Not reached: CanTakeTargetsPlace never allows it.
NewFile::NewFile(const NativePath&, const NativePath&) {
  Fail(kPDFLErrFileWrite);
}

NewFile::NewFile(const NativePath& target) : state_(new State) {
  State& s = *state_;
  s.target = target;
  DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND)
      Fail(kPDFLErrFileWrite);
  } else if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
    Fail(kPDFLErrFileWrite);
  } else {
    s.existed = true;
  }
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
  if (!state_->name.empty())
    DeleteFileW(state_->name.c_str());
}

FILE* NewFile::file() const {
  return state_->file;
}

void NewFile::Finish() {
  if (std::fflush(state_->file) != 0 || !FlushFileBuffers(HandleOf(state_->file)))
    Fail(kPDFLErrFileWrite);
}

// In memory: ReplaceFileW refuses a replacement that is still open.
std::shared_ptr<InputSource> NewFile::OpenCopy() {
  FILE* file = state_->file;
  if (_fseeki64(file, 0, SEEK_END) != 0)
    Fail(kPDFLErrFileWrite);
  auto buffer = new Buffer(static_cast<size_t>(_ftelli64(file)));
  std::rewind(file);
  if (std::fread(buffer->getBuffer(), 1, buffer->getSize(), file) != buffer->getSize()) {
    delete buffer;
    Fail(kPDFLErrFileWrite);
  }
  return std::make_shared<BufferInputSource>("saved file", buffer, true);
}

void NewFile::ReplaceTarget() {
  State& s = *state_;
  std::fclose(s.file);
  s.file = nullptr;
  bool replaced =
      s.existed ? ReplaceFileW(s.target.c_str(), s.name.c_str(), nullptr,
                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                : MoveFileExW(s.name.c_str(), s.target.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!replaced)
    Fail(kPDFLErrFileWrite);
  s.name.clear();
}

}  // namespace pdfl

// A thread that ends frees its table block.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_THREAD_DETACH)
    pdfl::FreeThreadBlock();
  return TRUE;
}
