#include "search.h"

#include <algorithm>

#include <boost/format.hpp>

#include "console.h"
#include "shell_match.h"

namespace {

// Names a directory that the search could not read; false when it could.
bool tellUnread(const std::wstring& directory, const os::DirectorySearch& search, bool& unread) {
  if (search.error().empty())
    return false;
  os::writeError(
      (boost::wformat(L"walkexec: cannot read %s: %s\n") % directory % search.error()).str());
  unread = true;
  return true;
}

}  // namespace

bool runOverPaths(const std::vector<std::wstring>& paths, const std::vector<std::wstring>& patterns,
                  const RunSettings& settings) {
  RunLogs logs = {ExitLog(settings.errorLog, L"failure log", ExitLog::kPlain),
                  ExitLog(settings.jobLog, L"job log", ExitLog::kEscaped),
                  {}};
  std::wstring reason;
  if (settings.resume && !resumeFrom(settings.jobLog, logs.succeeded, reason)) {
    os::writeError(
        (boost::wformat(L"walkexec: cannot read the job log %s: %s\n") % settings.jobLog % reason)
            .str());
    return false;
  }
  Timer timer(250);
  ProgressTicker ticker(&timer);
  Jobs running(settings.command, logs, settings.jobs, settings.keepOrder);
  uint32_t processed = 0;
  bool unread = false;
  for (const std::wstring& path : paths) {
    std::vector<os::DirectoryId> chain;
    walkDirectory(ticker, processed, path, joinPath(path, L"").size(), patterns, settings.shard,
                  running, chain, unread);
  }
  running.finish();
  return !logs.failures.lostLines() && !logs.jobs.lostLines() && !running.failed() && !unread;
}

void walkDirectory(ProgressTicker& ticker, uint32_t& processed, const std::wstring& directory,
                   size_t rootLength, const std::vector<std::wstring>& patterns, const Shard& shard,
                   Jobs& jobs, std::vector<os::DirectoryId>& chain, bool& unread) {
  os::DirectoryId id;
  bool known = os::directoryId(directory, id);
  if (known) {
    if (std::find(chain.begin(), chain.end(), id) != chain.end())
      return;
    chain.push_back(id);
  }

  os::DirectoryEntry entry;
  bool told = false;  // Once for the directory, whichever of its searches fails.
  for (const std::wstring& pattern : patterns) {
    os::DirectorySearch search(joinPath(directory, pattern));
    while (search.next(entry)) {
      if (!os::shellMatch(entry.name, pattern))
        continue;
      ticker.tick(processed);
      if (entry.isDirectory)
        continue;
      std::wstring path = joinPath(directory, entry.name);
      if (!shard.takes(path, rootLength))
        continue;
      ++processed;
      jobs.run(path);
    }
    told = told || tellUnread(directory, search, unread);
  }

  // Collected first, so that no search stays open across the recursion.
  std::vector<std::wstring> subdirectories;
  {
    os::DirectorySearch search(joinPath(directory, L"*"));
    while (search.next(entry)) {
      ticker.tick(processed);
      if (entry.isDirectory && entry.name != L"." && entry.name != L"..")
        subdirectories.push_back(joinPath(directory, entry.name));
    }
    if (!told)
      tellUnread(directory, search, unread);
  }
  for (const std::wstring& subdirectory : subdirectories)
    walkDirectory(ticker, processed, subdirectory, rootLength, patterns, shard, jobs, chain,
                  unread);

  if (known)
    chain.pop_back();
}

// An empty directory path stands for the current directory: the name alone.
std::wstring joinPath(const std::wstring& directory, const std::wstring& name) {
  if (directory.empty() || directory.back() == os::kPathSeparator)
    return directory + name;
  return directory + os::kPathSeparator + name;
}
