#include "file_id.h"

namespace os {

// Files made already are the same when they are one file, whatever their
// names; one made and one not are two.
bool sameFile(const std::wstring& first, const std::wstring& second) {
  FileId firstId, secondId;
  bool firstExists = fileId(first, firstId), secondExists = fileId(second, secondId);
  if (firstExists || secondExists)
    return firstExists && secondExists && firstId == secondId;
  return sameNewFile(first, second);
}

}  // namespace os
