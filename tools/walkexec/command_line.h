// walkexec's command line: the usage text and the -p pattern list.
#ifndef WALKEXEC_COMMAND_LINE_H
#define WALKEXEC_COMMAND_LINE_H

#include <string>
#include <vector>

// Writes the usage text to standard error and exits with status -1.
[[noreturn]] void printUsage(const std::wstring& programName);

// Splits at every comma; empty pieces are kept, except a last one.
std::vector<std::wstring> splitPatterns(const std::wstring& argument);

#endif
