#include "search.h"

#include <algorithm>

#include "command.h"

bool runOverPaths(const std::vector<std::wstring>& paths, const std::vector<std::wstring>& patterns,
                  const std::wstring& command, const std::wstring& errorLog) {
  Timer timer(250);
  ProgressTicker ticker(&timer);
  platform::CommandRunner runner;
  FailureLog log(errorLog);
  uint32_t processed = 0;
  for (const std::wstring& path : paths) {
    std::vector<platform::DirectoryId> chain;
    walkDirectory(ticker, processed, path, patterns, command, runner, log, chain);
  }
  return !log.lostLines();
}

void walkDirectory(ProgressTicker& ticker, uint32_t& processed, const std::wstring& directory,
                   const std::vector<std::wstring>& patterns, const std::wstring& command,
                   platform::CommandRunner& runner, FailureLog& log,
                   std::vector<platform::DirectoryId>& chain) {
  platform::DirectoryId id;
  bool known = platform::directoryId(directory, id);
  if (known) {
    if (std::find(chain.begin(), chain.end(), id) != chain.end()) return;
    chain.push_back(id);
  }

  platform::DirectoryEntry entry;
  for (const std::wstring& pattern : patterns) {
    platform::DirectorySearch search(joinPath(directory, pattern));
    while (search.next(entry)) {
      if (!platform::shellMatch(entry.name, pattern)) continue;
      ticker.tick(processed);
      if (entry.isDirectory) continue;
      ++processed;
      std::wstring path = joinPath(directory, entry.name);
      int exitCode = runCommandForFile(runner, path, command);
      if (exitCode != 0) log.logFailure(exitCode, path);
    }
  }

  // Collected first, so that no search stays open across the recursion.
  std::vector<std::wstring> subdirectories;
  {
    platform::DirectorySearch search(joinPath(directory, L"*"));
    while (search.next(entry)) {
      ticker.tick(processed);
      if (entry.isDirectory && entry.name != L"." && entry.name != L"..")
        subdirectories.push_back(joinPath(directory, entry.name));
    }
  }
  for (const std::wstring& subdirectory : subdirectories)
    walkDirectory(ticker, processed, subdirectory, patterns, command, runner, log, chain);

  if (known) chain.pop_back();
}

// An empty directory path stands for the current directory: the name alone.
std::wstring joinPath(const std::wstring& directory, const std::wstring& name) {
  if (directory.empty() || directory.back() == platform::kPathSeparator) return directory + name;
  return directory + platform::kPathSeparator + name;
}
