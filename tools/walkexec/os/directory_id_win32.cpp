#include "directory_id.h"

namespace os {

bool directoryId(const std::wstring&, DirectoryId&) {
  return false;
}

}  // namespace os
