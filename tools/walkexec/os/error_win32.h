// The Win32 error text that the Windows files of walkexec's platform share.
#ifndef PLATFORM_SYSTEM_ERROR_WIN32_H
#define PLATFORM_SYSTEM_ERROR_WIN32_H

#include <string>

namespace platform {

// The system's description of a Win32 error, without its line end.
std::wstring systemErrorText(unsigned long error);

}  // namespace platform

#endif
