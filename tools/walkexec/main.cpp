#include <algorithm>
#include <cstdint>
#include <vector>

#include <boost/format.hpp>

#include "arguments.h"
#include "command.h"
#include "command_line.h"
#include "console.h"
#include "file_id.h"
#include "getopt.h"
#include "jobs.h"
#include "search.h"
#include "shard.h"
#include "shell_match.h"
#include "standard_streams.h"

namespace {

// A count of jobs in plain decimal, from 1 to kMaxJobs.
bool parseJobs(const std::wstring& text, unsigned& jobs) {
  if (text.empty() || text.size() > 3)
    return false;
  jobs = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9')
      return false;
    jobs = jobs * 10 + (c - L'0');
  }
  return jobs >= 1 && jobs <= kMaxJobs;
}

// The reason for the usage text, in the getopt library's form.
[[noreturn]] void badValue(const std::wstring& programName, const std::wstring& reason) {
  os::writeError((boost::wformat(L"%s: %s\n") % programName % reason).str());
  printUsage(programName);
}

// -s K/N, or K and N from a Slurm job array.
void takeShard(const std::wstring& programName, const std::wstring& value, Shard& shard) {
  if (value == L"slurm") {
    if (!slurmShard(shard))
      badValue(programName,
               L"-s slurm: not a task of an evenly spaced Slurm job array "
               L"(SLURM_ARRAY_TASK_ID, _MIN, _MAX, _COUNT)");
  } else if (!parseShard(value, shard)) {
    badValue(programName, L"bad shard (K/N with K below N) -- " + value);
  }
}

// One option that getopt_w returned, with its argument in optarg_w; the
// usage text for anything it did not recognise.
void takeOption(const std::wstring& programName, int option, std::vector<std::wstring>& patterns,
                RunSettings& settings) {
  switch (option) {
    case L'c':
      settings.command = optarg_w;
      break;
    case L'e':
      settings.errorLog = optarg_w;
      break;
    case L'l':
      settings.jobLog = optarg_w;
      break;
    case L'r':
      settings.resume = true;
      break;
    case L'p':
      patterns = splitPatterns(optarg_w);
      break;
    case L'j':
      if (!parseJobs(optarg_w, settings.jobs))
        badValue(programName,
                 (boost::wformat(L"bad job count (1 to %u) -- %s") % kMaxJobs % optarg_w).str());
      break;
    case L'k':
      settings.keepOrder = true;
      break;
    case L's':
      takeShard(programName, optarg_w, settings.shard);
      break;
    case L'L':
      settings.followLinks = true;
      break;
    case L'f':
      settings.failWithCommands = true;
      break;
    default:
      printUsage(programName);
  }
}

// What no option alone can say is wrong: options that do not go together.
void checkTogether(const std::wstring& programName, const RunSettings& settings) {
  if (settings.resume && settings.jobLog.empty())
    badValue(programName, L"-r resumes from the job log that -l names");
  // The failure log's lines are not escaped: one could forge a job log's.
  if (!settings.errorLog.empty() && !settings.jobLog.empty() &&
      os::sameFile(settings.errorLog, settings.jobLog))
    badValue(programName, L"-e and -l name the same file -- " + settings.jobLog);
  if (CommandTemplate(settings.command).mixes())
    badValue(programName, L"-c takes @path or @paths, not both -- " + settings.command);
}

// Told once each; the run goes on, as with a pattern that matches nothing.
void tellHopelessPatterns(const std::vector<std::wstring>& patterns) {
  for (size_t at = 0; at < patterns.size(); ++at) {
    if (os::namesCanMatch(patterns[at]) ||
        std::find(patterns.begin(), patterns.begin() + at, patterns[at]) != patterns.begin() + at)
      continue;
    os::writeError(
        (boost::wformat(L"walkexec: the pattern \"%s\" matches no file name\n") % patterns[at])
            .str());
  }
}

}  // namespace

// Nothing runs until the whole command line is understood: options may
// come after the start paths, which getopt_w then moves behind them.
int main(int argc, char* argv[]) {
  os::openClosedStandardStreams();
  std::vector<std::wstring> arguments = os::wideArguments(argc, argv);
  std::vector<wchar_t*> argumentVector;
  for (std::wstring& argument : arguments)
    argumentVector.push_back(&argument[0]);
  argumentVector.push_back(nullptr);
  int count = static_cast<int>(arguments.size());

  std::vector<std::wstring> patterns;
  std::vector<std::wstring> paths;
  RunSettings settings;
  const std::wstring programName = arguments.empty() ? std::wstring() : arguments[0];

  for (int option; (option = getopt_w(count, argumentVector.data(), L"p:c:e:l:rj:ks:Lf")) != -1;)
    takeOption(programName, option, patterns, settings);
  if (optind >= count)
    printUsage(programName);
  for (; optind < count; ++optind)
    paths.push_back(argumentVector[optind]);
  if (patterns.empty())
    patterns.push_back(L"*");
  if (settings.command.empty())
    settings.command = L"echo @path";
  checkTogether(programName, settings);
  tellHopelessPatterns(patterns);

  // A run that lost a log line, a command or output must not look like a
  // success.
  return runOverPaths(paths, patterns, settings) ? 0 : 1;
}
