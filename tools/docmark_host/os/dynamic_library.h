// Loading docmark at run time, as a host does: the file DOCMARK_LIBRARY
// names, else the one the loader finds by name (on POSIX on this program's
// run path first, the kit's library folder; on Windows in this program's
// folder first), else, on POSIX, the one in the kit's library folder named
// in full.
#ifndef DOCMARK_HOST_OS_DYNAMIC_LIBRARY_H
#define DOCMARK_HOST_OS_DYNAMIC_LIBRARY_H

#include <string>

// The library's file name, for messages.
extern const char kDocmarkName[];

// Loads docmark; null, with the reason in `error`, when it cannot.
void* OpenDocmark(std::string& error);
void* FindFunction(void* library, const char* name);
void CloseDocmark(void* library);

#endif
