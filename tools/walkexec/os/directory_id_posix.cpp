#include "directory_id.h"

#include <sys/stat.h>

#include "text.h"

namespace os {

bool directoryId(const std::wstring& path, DirectoryId& id) {
  struct stat info;
  std::string bytes = path.empty() ? "." : encodeUtf8(path);
  if (stat(bytes.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    return false;
  id.device = info.st_dev;
  id.inode = info.st_ino;
  return true;
}

}  // namespace os
