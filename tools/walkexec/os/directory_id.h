// What makes a directory the same one when reached by another path.
#ifndef WALKEXEC_OS_DIRECTORY_ID_H
#define WALKEXEC_OS_DIRECTORY_ID_H

#include <string>

namespace os {

struct DirectoryId {
  unsigned long long device = 0;
  unsigned long long inode = 0;
  bool operator==(const DirectoryId& other) const {
    return device == other.device && inode == other.inode;
  }
};

// False when the path names no directory, or where the platform offers no
// identity to guard the walk with (Windows ends link cycles itself, at its
// path length limit).
bool directoryId(const std::wstring& path, DirectoryId& id);

}  // namespace os

#endif
