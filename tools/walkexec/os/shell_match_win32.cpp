#include "shell_match.h"

#include <windows.h>

namespace os {

// The system's own upper case, the same in every locale.
wchar_t shellUpper(wchar_t c) {
  wchar_t upper = c;
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, &c, 1, &upper, 1) != 1)
    return c;
  return upper;
}

}  // namespace os
