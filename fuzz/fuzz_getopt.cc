// The wide getopt over any argument vector (arguments split at NUL bytes):
// it ends, optind stays within the arguments, the vector is only reordered,
// and the operands keep their order. Its diagnostics go to standard error as
// walkexec's would.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
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
  std::map<const wchar_t*, size_t> place;
  for (std::wstring& argument : arguments) {
    place[&argument[0]] = argv.size();
    argv.push_back(&argument[0]);
  }
  const std::vector<wchar_t*> original = argv;
  argv.push_back(nullptr);
  int argc = static_cast<int>(arguments.size());
  optind = 1;
  // Each call takes at least one character of the arguments.
  int limit = static_cast<int>(size) + argc;
  bool refused = false;
  for (int steps = 0, option; (option = getopt_w(argc, argv.data(), L"p:c:e:l:rj:ks:Lf")) != -1;
       ++steps) {
    refused = refused || option == L'?';
    if (steps > limit || optind < 1 || optind > argc)
      std::abort();
  }
  if (optind < 1 || optind > argc || argv[argc] != nullptr)
    std::abort();
  std::vector<wchar_t*> now(argv.begin(), argv.end() - 1);
  if (!std::is_permutation(now.begin(), now.end(), original.begin()))
    std::abort();
  for (int at = optind + 1; !refused && at < argc; ++at)
    if (place[argv[at - 1]] > place[argv[at]])
      std::abort();
  return 0;
}
