// Loading docmark at run time, as a host does.
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
