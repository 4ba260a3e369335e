#include "file_id.h"

#include <sys/stat.h>

#include "text.h"

namespace os {

namespace {

// The directory part of a path and its last name.
void split(const std::wstring& path, std::wstring& directory, std::wstring& name) {
  size_t cut = path.rfind(L'/');
  directory = cut == std::wstring::npos ? L"." : cut == 0 ? L"/" : path.substr(0, cut);
  name = cut == std::wstring::npos ? path : path.substr(cut + 1);
}

}  // namespace

bool fileId(const std::wstring& path, FileId& id) {
  struct stat info;
  if (stat(encodeUtf8(path).c_str(), &info) != 0)
    return false;
  id.device = info.st_dev;
  id.inode = info.st_ino;
  return true;
}

// The same name in the same directory, however the directory is spelt.
bool sameNewFile(const std::wstring& first, const std::wstring& second) {
  std::wstring firstDirectory, firstName, secondDirectory, secondName;
  split(first, firstDirectory, firstName);
  split(second, secondDirectory, secondName);
  if (firstName != secondName)
    return false;
  FileId firstId, secondId;
  if (!fileId(firstDirectory, firstId) || !fileId(secondDirectory, secondId))
    return first == second;
  return firstId == secondId;
}

}  // namespace os
