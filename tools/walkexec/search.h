// The recursive search of the start paths, pattern by pattern, that runs
// the command for every matching file.
#ifndef WALKEXEC_SEARCH_H
#define WALKEXEC_SEARCH_H

#include <cstdint>
#include <string>
#include <vector>

#include "command.h"
#include "progress.h"
#include "system.h"

// Returns false when the failure log lost a line.
bool runOverPaths(const std::vector<std::wstring>& paths, const std::vector<std::wstring>& patterns,
                  const std::wstring& command, const std::wstring& errorLog);

// Files of `directory` first, pattern by pattern, then each subdirectory in
// turn. `chain` holds the directories being walked, so that a link back to
// one of them is not walked round again.
void walkDirectory(ProgressTicker& ticker, uint32_t& processed, const std::wstring& directory,
                   const std::vector<std::wstring>& patterns, const std::wstring& command,
                   platform::CommandRunner& runner, FailureLog& log,
                   std::vector<platform::DirectoryId>& chain);

// The directory path, a separator unless it already ends in one, the name.
std::wstring joinPath(const std::wstring& directory, const std::wstring& name);

#endif
