// The recursive search of the start paths, pattern by pattern, that runs
// the command for every matching file.
#ifndef WALKEXEC_SEARCH_H
#define WALKEXEC_SEARCH_H

#include <cstdint>
#include <string>
#include <vector>

#include "file_id.h"
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
  bool followLinks = false;       // Enters links to directories.
  bool failWithCommands = false;  // A command that fails fails the run.
};

// Runs the command for the files of the shard, up to `jobs` at once.
// Returns false when a log lost a line, a command was given up or some of
// its output lost, a command failed and `failWithCommands` says so, a start path or a directory
// could not be read or led back to a directory being walked, or the job log to resume from could
// not be read.
bool runOverPaths(const std::vector<std::wstring>& paths, const std::vector<std::wstring>& patterns,
                  const RunSettings& settings);

// What the walk of one start path keeps across its levels.
struct Walk {
  ProgressTicker& ticker;
  uint32_t& processed;
  const std::vector<std::wstring>& patterns;
  const RunSettings& settings;
  Jobs& jobs;
  size_t rootLength;  // Of the start path and its separator, in every path.
  // The directories being walked, so that a link back to one of them is
  // not walked round again.
  std::vector<std::pair<os::FileId, std::wstring>> chain;
  bool failed = false;  // A directory could not be read, or led back.
};

// Files of `directory` first, pattern by pattern, then each subdirectory in
// turn, all from one read of it. A directory that cannot be read (a start
// path that does not exist among them), or that is one being walked, is
// named on standard error and fails the walk; the rest is walked.
void walkDirectory(Walk& walk, const std::wstring& directory);

// The directory path, a separator unless it already ends in one, the name.
std::wstring joinPath(const std::wstring& directory, const std::wstring& name);

#endif
