#include <vector>

#include "command_line.h"
#include "getopt.h"
#include "search.h"
#include "system.h"

int main(int argc, char* argv[]) {
  std::vector<std::wstring> arguments = platform::wideArguments(argc, argv);
  std::vector<wchar_t*> argumentVector;
  for (std::wstring& argument : arguments) argumentVector.push_back(&argument[0]);
  argumentVector.push_back(nullptr);
  int count = static_cast<int>(arguments.size());

  std::vector<std::wstring> patterns;
  std::wstring command;
  std::wstring errorLog;
  std::vector<std::wstring> paths;
  const std::wstring programName = arguments.empty() ? std::wstring() : arguments[0];

  for (int option; (option = getopt_w(count, argumentVector.data(), L"p:c:e:")) != -1;) {
    switch (option) {
      case L'c':
        command = optarg_w;
        break;
      case L'e':
        errorLog = optarg_w;
        break;
      case L'p':
        patterns = splitPatterns(optarg_w);
        break;
      default:
        printUsage(programName);
    }
  }
  if (optind >= count) printUsage(programName);
  for (; optind < count; ++optind) paths.push_back(arguments[optind]);
  if (patterns.empty()) patterns.push_back(L"*");
  if (command.empty()) command = L"echo @path";

  // A run whose failure log lost a line must not look like a success.
  return runOverPaths(paths, patterns, command, errorLog) ? 0 : 1;
}
