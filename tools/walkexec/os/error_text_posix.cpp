#include "error_text.h"

#include <string.h>

#include "text.h"

namespace os {

std::wstring errorText(int error) {
  return decodeUtf8(strerror(error));
}

}  // namespace os
