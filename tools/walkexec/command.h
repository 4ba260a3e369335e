// Running the command template for one file, and the failure log.
#ifndef WALKEXEC_COMMAND_H
#define WALKEXEC_COMMAND_H

#include <string>

// Runs the template with every "@path" replaced by the quoted path; returns
// the command's exit code.
int runCommandForFile(const std::wstring& path, const std::wstring& command);

// Replaces every occurrence of `token`, left to right; text brought in by a
// replacement is not searched again.
void replaceAll(std::wstring& text, const std::wstring& token, const std::wstring& replacement);

// Appends "<exit code>,<path>\r\n" in UTF-16LE to the log; a log that cannot
// be opened loses the line.
void logFailure(const std::wstring& errorLog, int exitCode, const std::wstring& path);

#endif
