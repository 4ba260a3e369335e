// The search of one directory: read whole at once, then closed, so that
// what the commands make in it meanwhile is not part of it.
#ifndef WALKEXEC_OS_DIRECTORY_SEARCH_H
#define WALKEXEC_OS_DIRECTORY_SEARCH_H

#include <cstddef>
#include <memory>
#include <string>

namespace os {

// '\\' on Windows, '/' on POSIX.
extern const wchar_t kPathSeparator;

// Whether the character separates names in a path: on Windows '/' too.
bool isPathSeparator(wchar_t c);

enum class EntryKind : unsigned char {
  kFile,             // A regular file, or a link to one.
  kDirectory,        // A directory that is no link.
  kLinkedDirectory,  // A link to a directory; on Windows a junction too.
  kOther,            // A pipe, socket or device, or a link to nothing.
};

class DirectorySearch {
 public:
  // Reads the directory's entries, "." and ".." among them, in the order
  // the system gives them. A directory that cannot be read gives none, and
  // says why unless its path names a file.
  explicit DirectorySearch(const std::wstring& directory);
  ~DirectorySearch();
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;

  size_t size() const;
  std::wstring name(size_t entry) const;
  EntryKind kind(size_t entry) const;

  // Why the directory could not be read, in part or at all; empty when it
  // could, or when its path names a file.
  const std::wstring& error() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace os

#endif
