#include "command_line.h"

#include <cstdlib>

#include <boost/format.hpp>

#include "console.h"

// The options as the usage text explains them, between its first line and
// the example.
const wchar_t kUsageOptions[] =
    L"Executes a command on a set of files.\n"
    L"\n"
    L"Options:\n"
    L"    -p pattern[,pattern...]  Searches files according to one or more patterns.\n"
    L"                             The default pattern is '*' (matching all files).\n"
    L"\n"
    L"    -c \"command\"             Indicates the command to execute for each file.\n"
    L"                             Command strings should be wrapped in double quotes.\n"
    L"                             The default command is \"echo @path\". Any instances\n"
    L"                             of \"@path\" in the command string will be replaced\n"
    L"                             by the full path to the file, wrapped in double\n"
    L"                             quotes.\n"
    L"\n"
    L"    -e \"errlog\"              If the command fails (i.e. returns a non-zero exit\n"
    L"                             code), a line showing the full path where the failure\n"
    L"                             occurred and the exit code is appended to the file\n"
    L"                             specified by \"errlog\"\n"
    L"\n"
    L"    -l \"joblog\"              As each command ends, a line showing the full path\n"
    L"                             and the exit code is appended to the file specified\n"
    L"                             by \"joblog\", in the form of \"errlog\".\n"
    L"\n"
    L"    -r                       With -l, runs only the files that \"joblog\" does not\n"
    L"                             show with exit code 0, so that a run cut short\n"
    L"                             resumes where it stopped.\n"
    L"\n"
    L"    -j jobs                  Runs up to that many commands at once (1 to 256;\n"
    L"                             the default is 1). With more than one, commands\n"
    L"                             get no input, and the output of each is written\n"
    L"                             whole when it ends.\n"
    L"\n"
    L"    -k                       With -j, writes the output of the commands in the\n"
    L"                             order they started, not the order they end.\n"
    L"\n"
    L"    -s K/N                   Runs shard K (0 to N-1) of N: the files whose path\n"
    L"                             relative to its start path hashes to K, so that\n"
    L"                             N runs over the same paths share the files out.\n"
    L"                             \"-s slurm\" takes K and N from a Slurm job array.\n"
    L"\n"
    L"    -L                       Enters links to directories and junctions, which\n"
    L"                             are passed over otherwise.\n"
    L"\n"
    L"    -f                       Exits with status 1 if any command failed (i.e.\n"
    L"                             returned a non-zero exit code).\n"
    L"\n"
    L"    path[ path...]           Indicates the path(s) to start searching from. The\n"
    L"                             paths are searched recursively in the order they\n"
    L"                             are specified.\n"
    L"\n"
    L"Examples:\n";

void printUsage(const std::wstring& programName) {
  os::writeError(
      (boost::wformat(
           L"\nUsage: %s [-p pattern[,pattern...]] [-c \"command\"] [-e \"errlog\"] "
           L"[-l \"joblog\" [-r]] [-j jobs [-k]] [-s K/N] [-L] [-f] path[ path...]\n\n") %
       programName)
          .str());
  os::writeError(kUsageOptions);
  os::writeError(
      (boost::wformat(L"    %s -p *.txt -c \"notepad @path\" C:\\\n") % programName).str());
  os::writeError(L"    (finds all text files on the C: drive and opens them in Notepad)\n\n");
  exit(-1);
}

std::vector<std::wstring> splitPatterns(const std::wstring& argument) {
  std::vector<std::wstring> patterns;
  std::wstring piece;
  for (wchar_t c : argument) {
    if (c == L',') {
      patterns.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  if (!piece.empty())
    patterns.push_back(piece);
  return patterns;
}
