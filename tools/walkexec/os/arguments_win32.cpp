#include "arguments.h"

// The C runtime's own splitting of the command line into wide arguments,
// the one a wide main receives.
struct StartupInfo {
  int newMode;
};
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env, int expandWildcards,
                              StartupInfo* info);

namespace os {

std::vector<std::wstring> wideArguments(int, char*[]) {
  int argc = 0;
  wchar_t** argv = nullptr;
  wchar_t** env = nullptr;
  StartupInfo info = {0};
  std::vector<std::wstring> arguments;
  if (__wgetmainargs(&argc, &argv, &env, 0, &info) != 0)
    return arguments;
  for (int i = 0; i < argc; ++i)
    arguments.push_back(argv[i]);
  return arguments;
}

}  // namespace os
