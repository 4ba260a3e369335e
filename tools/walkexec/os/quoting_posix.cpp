#include "quoting.h"

#include <string.h>
#include <unistd.h>

#include <algorithm>

#include "text.h"

extern char** environ;

namespace os {

namespace {

// The most the kernel takes in one argument, which a line run by
// /bin/sh -c is (MAX_ARG_STRLEN), less its NUL.
const size_t kLongestArgument = 32 * 4096 - 1;
// Room left for the shell's own words and pointers.
const size_t kSpare = 4096;

}  // namespace

// Single quotes keep every byte literal for /bin/sh; a quote inside is
// closed, escaped and reopened.
std::wstring quotePath(const std::wstring& path) {
  std::wstring quoted = L"'";
  for (wchar_t c : path) {
    if (c == L'\'')
      quoted += L"'\\''";
    else
      quoted += c;
  }
  return quoted + L"'";
}

size_t commandLineLength(const std::wstring& line) {
  return encodeUtf8(line).size();
}

// The arguments and the environment share ARG_MAX: what the environment
// takes is not the line's. With no room left, a batch holds one path.
size_t longestCommandLine() {
  long argumentsMax = sysconf(_SC_ARG_MAX);
  if (argumentsMax <= 0)
    return kLongestArgument;
  size_t taken = kSpare;
  for (char** variable = environ; *variable; ++variable)
    taken += strlen(*variable) + 1 + sizeof(char*);
  size_t room = static_cast<size_t>(argumentsMax) > taken ? argumentsMax - taken : 0;
  return std::min(kLongestArgument, room);
}

}  // namespace os
