#include "main.h"

#include <string>
#include <string_view>
#include <vector>

#include "utf8.h"

// The arguments come as UTF-16 and go on as UTF-8, which is also what the
// host prints.
int wmain(int argc, wchar_t* argv[]) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i)
    arguments.push_back(utf8::EncodeLossless(std::wstring_view(argv[i])));
  std::vector<char*> pointers;
  for (std::string& argument : arguments)
    pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return HostMain(argc, pointers.data());
}
