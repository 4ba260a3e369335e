// The command line for one file: the template with its path in it.
#ifndef WALKEXEC_COMMAND_H
#define WALKEXEC_COMMAND_H

#include <string>

// The template with every "@path" replaced by the quoted path.
std::wstring commandLineForFile(const std::wstring& path, const std::wstring& command);

// Replaces every occurrence of `token`, left to right; text brought in by a
// replacement is not searched again.
void replaceAll(std::wstring& text, const std::wstring& token, const std::wstring& replacement);

#endif
