#include "search.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include <boost/format.hpp>

#include "console.h"
#include "directory_search.h"
#include "error_text.h"
#include "shell_match.h"

namespace {

void tellUnread(Walk& walk, const std::wstring& directory, const std::wstring& reason) {
  os::writeError((boost::wformat(L"walkexec: cannot read %s: %s\n") % directory % reason).str());
  walk.failed = true;
}

// False, told, for a directory that is one of those being walked: a link
// or a mount back up the tree. `chained` says whether it joined the chain.
bool enter(Walk& walk, const std::wstring& directory, bool& chained) {
  std::pair<os::FileId, std::wstring> here(os::FileId(), directory);
  chained = os::fileId(directory, here.first);
  if (!chained)
    return true;  // Not a directory, or gone: its search says so.
  auto again = std::find_if(walk.chain.begin(), walk.chain.end(),
                            [&](const std::pair<os::FileId, std::wstring>& walked) {
                              return walked.first == here.first;
                            });
  if (again != walk.chain.end()) {
    os::writeError((boost::wformat(L"walkexec: file system loop: %s is %s again\n") % directory %
                    again->second)
                       .str());
    walk.failed = true;
    chained = false;
    return false;
  }
  walk.chain.push_back(here);
  return true;
}

// Every entry that a pattern matches, as (pattern, entry), pattern by
// pattern and in the directory's order within each; small, for folders of
// many files.
using Match = std::pair<uint32_t, uint32_t>;
std::vector<Match> matches(const Walk& walk, const os::DirectorySearch& search) {
  std::vector<Match> found;
  for (uint32_t entry = 0; entry < search.size(); ++entry) {
    std::wstring name = search.name(entry);
    for (uint32_t pattern = 0; pattern < walk.patterns.size(); ++pattern)
      if (os::shellMatch(name, walk.patterns[pattern]))
        found.emplace_back(pattern, entry);
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const Match& a, const Match& b) { return a.first < b.first; });
  return found;
}

// Only regular files run, and links to them; a matching directory, pipe,
// socket or device ticks the ticker and is passed over.
void runFiles(Walk& walk, const std::wstring& directory, const os::DirectorySearch& search) {
  for (const Match& match : matches(walk, search)) {
    walk.ticker.tick(walk.processed);
    if (search.kind(match.second) != os::EntryKind::kFile)
      continue;
    std::wstring path = joinPath(directory, search.name(match.second));
    if (!walk.settings.shard.takes(path, walk.rootLength))
      continue;
    ++walk.processed;
    walk.jobs.add(path);
  }
}

// Links to directories only when asked; never "." or "..".
std::vector<std::wstring> subdirectories(Walk& walk, const std::wstring& directory,
                                         const os::DirectorySearch& search) {
  std::vector<std::wstring> found;
  for (size_t entry = 0; entry < search.size(); ++entry) {
    walk.ticker.tick(walk.processed);
    os::EntryKind kind = search.kind(entry);
    if (kind != os::EntryKind::kDirectory &&
        !(kind == os::EntryKind::kLinkedDirectory && walk.settings.followLinks))
      continue;
    std::wstring name = search.name(entry);
    if (name != L"." && name != L"..")
      found.push_back(joinPath(directory, name));
  }
  return found;
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
  CommandTemplate command(settings.command);
  Jobs running(command, logs, settings.jobs, settings.keepOrder);
  uint32_t processed = 0;
  bool failed = false;
  for (const std::wstring& path : paths) {
    Walk walk = {ticker, processed, patterns, settings, running, joinPath(path, L"").size(), {}};
    // An empty path names nothing, as the system would have it.
    if (path.empty())
      tellUnread(walk, path, os::errorText(ENOENT));
    else
      walkDirectory(walk, path);
    failed = failed || walk.failed;
  }
  running.finish();
  return !logs.failures.lostLines() && !logs.jobs.lostLines() && !running.failed() && !failed &&
         !(settings.failWithCommands && running.commandFailed());
}

// Read whole before any of its commands run, so that what they make in it
// is not run, and no search stays open across the recursion.
void walkDirectory(Walk& walk, const std::wstring& directory) {
  bool chained = false;
  if (!enter(walk, directory, chained))
    return;
  std::vector<std::wstring> below;
  {
    os::DirectorySearch search(directory);
    if (!search.error().empty())
      tellUnread(walk, directory, search.error());
    runFiles(walk, directory, search);
    below = subdirectories(walk, directory, search);
  }
  for (const std::wstring& subdirectory : below)
    walkDirectory(walk, subdirectory);
  if (chained)
    walk.chain.pop_back();
}

// An empty directory path stands for the current directory: the name alone.
std::wstring joinPath(const std::wstring& directory, const std::wstring& name) {
  if (directory.empty() || directory.back() == os::kPathSeparator)
    return directory + name;
  return directory + os::kPathSeparator + name;
}
