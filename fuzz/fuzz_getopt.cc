// The wide getopt over any argument vector (arguments split at NUL bytes):
// it ends, and optind stays within the arguments. Its diagnostics go to
// standard error as walkexec's would.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "getopt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::wstring> arguments(1, L"walkexec");
  arguments.emplace_back();
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      arguments.emplace_back();
    else
      arguments.back() += static_cast<wchar_t>(data[i]);
  }
  std::vector<wchar_t*> argv;
  for (std::wstring& argument : arguments)
    argv.push_back(&argument[0]);
  argv.push_back(nullptr);
  int argc = static_cast<int>(arguments.size());
  optind = 1;
  // Each call takes at least one character of the arguments.
  int limit = static_cast<int>(size) + argc;
  for (int steps = 0; getopt_w(argc, argv.data(), L"p:c:e:") != -1; ++steps) {
    if (steps > limit || optind < 1 || optind > argc)
      std::abort();
  }
  if (optind < 1 || optind > argc)
    std::abort();
  return 0;
}
