// The recursive search of the start paths, pattern by pattern, that runs
// the command for every matching file.
#ifndef WALKEXEC_SEARCH_H
#define WALKEXEC_SEARCH_H

#include <cstdint>
#include <string>
#include <vector>

#include "jobs.h"
#include "progress.h"
#include "shard.h"
#include "system.h"

// Runs the command for the files of `shard`, up to `jobs` at once. Returns
// false when the failure log lost a line.
bool runOverPaths(const std::vector<std::wstring>& paths, const std::vector<std::wstring>& patterns,
                  const std::wstring& command, const std::wstring& errorLog, unsigned jobs,
                  bool keepOrder, const Shard& shard);

// Files of `directory` first, pattern by pattern, then each subdirectory in
// turn. The first `rootLength` characters of a path are its start path and
// separator. `chain` holds the directories being walked, so that a link
// back to one of them is not walked round again.
void walkDirectory(ProgressTicker& ticker, uint32_t& processed, const std::wstring& directory,
                   size_t rootLength, const std::vector<std::wstring>& patterns,
                   const Shard& shard, Jobs& jobs, std::vector<platform::DirectoryId>& chain);

// The directory path, a separator unless it already ends in one, the name.
std::wstring joinPath(const std::wstring& directory, const std::wstring& name);

#endif
