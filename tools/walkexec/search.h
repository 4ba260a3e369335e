// The recursive search of the start paths, pattern by pattern, that runs
// the command for every matching file.
#ifndef WALKEXEC_SEARCH_H
#define WALKEXEC_SEARCH_H

#include <cstdint>
#include <string>
#include <vector>

#include "directory_id.h"
#include "directory_search.h"
#include "jobs.h"
#include "progress.h"
#include "shard.h"

// What a run is asked to do besides walking.
struct RunSettings {
  std::wstring command;
  std::wstring errorLog;
  std::wstring jobLog;
  bool resume = false;  // Skips the files that the job log records as succeeded.
  unsigned jobs = 1;
  bool keepOrder = false;
  Shard shard;
};

// Runs the command for the files of the shard, up to `jobs` at once.
// Returns false when a log lost a line, a command was given up or some of
// its output lost, a start path or a directory could not be read, or the
// job log to resume from could not be read.
bool runOverPaths(const std::vector<std::wstring>& paths, const std::vector<std::wstring>& patterns,
                  const RunSettings& settings);

// Files of `directory` first, pattern by pattern, then each subdirectory in
// turn. The first `rootLength` characters of a path are its start path and
// separator. `chain` holds the directories being walked, so that a link
// back to one of them is not walked round again. A directory that cannot
// be read (a start path that does not exist among them) is named on
// standard error and sets `unread`; the rest is walked.
void walkDirectory(ProgressTicker& ticker, uint32_t& processed, const std::wstring& directory,
                   size_t rootLength, const std::vector<std::wstring>& patterns, const Shard& shard,
                   Jobs& jobs, std::vector<os::DirectoryId>& chain, bool& unread);

// The directory path, a separator unless it already ends in one, the name.
std::wstring joinPath(const std::wstring& directory, const std::wstring& name);

#endif
