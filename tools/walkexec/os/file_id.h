// What makes a file or a directory the same one when reached by another
// path: a link, a junction, a start path spelt another way.
#ifndef WALKEXEC_OS_FILE_ID_H
#define WALKEXEC_OS_FILE_ID_H

#include <string>

namespace os {

struct FileId {
  unsigned long long device = 0;
  unsigned long long inode = 0;
  bool operator==(const FileId& other) const {
    return device == other.device && inode == other.inode;
  }
  bool operator<(const FileId& other) const {
    return device != other.device ? device < other.device : inode < other.inode;
  }
};

// The identity of what `path` names, links followed; false when it names
// nothing.
bool fileId(const std::wstring& path, FileId& id);

// Whether two paths name the same file, made already or not yet.
bool sameFile(const std::wstring& first, const std::wstring& second);

// Whether two paths that name nothing yet would name the same file.
bool sameNewFile(const std::wstring& first, const std::wstring& second);

}  // namespace os

#endif
