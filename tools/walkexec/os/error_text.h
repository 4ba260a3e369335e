// The system's words for an error.
#ifndef WALKEXEC_OS_ERROR_TEXT_H
#define WALKEXEC_OS_ERROR_TEXT_H

#include <string>

namespace os {

// The description of a C runtime error number.
std::wstring errorText(int error);

#ifdef _WIN32
// The description of a Win32 error, without its line end.
std::wstring systemErrorText(unsigned long error);
#endif

}  // namespace os

#endif
