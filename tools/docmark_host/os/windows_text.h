// Text between the host's UTF-8 and the Win32 calls, for the Windows files
// of this layer.
#ifndef DOCMARK_HOST_OS_WINDOWS_TEXT_H
#define DOCMARK_HOST_OS_WINDOWS_TEXT_H

#include <string>

// A path from the command line as the file functions take it, at any length.
std::wstring WidePath(const std::string& path);

// The system's words for a Win32 error, in UTF-8 whatever the code page.
std::string SystemMessage(unsigned long error);

#endif
