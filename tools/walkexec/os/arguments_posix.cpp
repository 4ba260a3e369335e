#include "arguments.h"

#include "text.h"

namespace os {

std::vector<std::wstring> wideArguments(int argc, char* argv[]) {
  std::vector<std::wstring> arguments;
  for (int i = 0; i < argc; ++i)
    arguments.push_back(decodeUtf8(argv[i]));
  return arguments;
}

}  // namespace os
