// One search of a directory, as the Windows file search makes it.
#ifndef WALKEXEC_OS_DIRECTORY_SEARCH_H
#define WALKEXEC_OS_DIRECTORY_SEARCH_H

#include <memory>
#include <string>

namespace os {

// '\\' on Windows, '/' on POSIX.
extern const wchar_t kPathSeparator;

struct DirectoryEntry {
  std::wstring name;
  bool isDirectory = false;  // Follows links, as the directory attribute does.
};

// One search of a directory for a pattern, given as the directory path
// joined with the pattern. A search that fails finds nothing, and says why
// unless the directory path names a file. The destructor closes it.
class DirectorySearch {
 public:
  explicit DirectorySearch(const std::wstring& searchPath);
  ~DirectorySearch();
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;

  // Fills `entry` with the next match; false when none is left.
  bool next(DirectoryEntry& entry);

  // Why the directory could not be read, in part or at all; empty when it
  // could, or when the directory path names a file.
  const std::wstring& error() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace os

#endif
