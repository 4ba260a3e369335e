#include "shell_match.h"

#include <clocale>
#include <cwctype>

namespace os {

// Beyond ASCII the C.UTF-8 character table; the process locale is left
// alone.
wchar_t shellUpper(wchar_t c) {
  static locale_t table = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
  return table ? towupper_l(c, table) : towupper(c);
}

}  // namespace os
