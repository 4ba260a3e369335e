#include "native_path.h"

#include <windows.h>

#include "file_stream_win32.h"
#include "win_path.h"

namespace pdfl {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "paths are UTF-16 as they come");

// Full paths, so that a replace by name means the same file whatever the
// current directory, in the long form, so that the new file's name beside
// the target is as good as the target's at any length, and exact, so that
// the file saved keeps the name it had.
bool ToNativePath(const std::u16string& units, NativePath& path) {
  path = winpath::Exact(std::wstring(units.begin(), units.end()));
  return !path.empty();
}

FILE* OpenForReading(const NativePath& path) {
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  return StreamOf(handle, _O_RDONLY, "rb");
}

}  // namespace pdfl
