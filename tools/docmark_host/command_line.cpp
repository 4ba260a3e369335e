#include "command_line.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>

#include "os/console.h"
#include "os/directory.h"

namespace {

const char kVersionText[] = "docmark_host 7.9.9\n";

const char kUsage[] =
    "usage: docmark_host check [-j jobs] [--json | -0] PATH...\n"
    "       docmark_host read [-j jobs] [--json | -0] PATH...\n"
    "       docmark_host write [-j jobs] [--json | -0] [--skip-same] [-m mode] [-a amount]\n"
    "                          [-A] [-B] [-C] [-S] PATH...\n"
    "       docmark_host --help | --version\n"
    "\n"
    "Each PATH is a file, or a directory whose files named *.pdf (in any case) are\n"
    "taken, in every directory below it.\n"
    "check  tells for each file whether it carries a valid tag; exit 0 when all do\n"
    "read   prints the tag of each file\n"
    "write  tags each file with these settings (all 0 unless given):\n"
    "         -m mode     0 to 15\n"
    "         -a amount   0 to 65535\n"
    "         -A, -B, -C  set option A, B or C\n"
    "         -S          set the writer flag\n"
    "         --skip-same leaves a file alone that carries this tag already\n"
    "-j jobs  works on that many files at once (1 to 256; default 1)\n"
    "--json   one JSON object a line for each file, failures included\n"
    "-0       ends each result with a NUL instead of a newline\n"
    "A summary goes to stderr at the end. Exit 0 when every file was done, 1 when\n"
    "some failed (or, for check, is not tagged), 2 for a bad command line.\n";

const int kMaximumJobs = 256;
const int32_t kMaximumMode = 15;
const int32_t kMaximumAmount = 0xFFFF;

bool ParseNumber(const char* text, int32_t least, int32_t most, int32_t& value) {
  char* end;
  errno = 0;
  long long number = strtoll(text, &end, 10);
  if (errno || end == text || *end || number < least || number > most)
    return false;
  value = static_cast<int32_t>(number);
  return true;
}

bool Usage() {
  WriteText(Stream::kErr, kUsage);
  return false;
}

bool BadNumber(const char* option, int32_t least, int32_t most, const char* text) {
  WriteText(Stream::kErr, std::string("docmark_host: ") + option + " needs a number from " +
                              std::to_string(least) + " to " + std::to_string(most) + ", not \"" +
                              text + "\"\n");
  return false;
}

enum LongOption { kJsonOption = 256, kSkipSameOption, kHelpOption, kVersionOption };

// The options that name an output form, until all are read.
struct FormatOptions {
  bool nul = false;
  bool json = false;
};

// One option of a write's settings into `command`; false for a bad value.
bool TakeSetting(int option, Command& command) {
  switch (option) {
    case 'm':
      return ParseNumber(optarg, 0, kMaximumMode, command.settings.mode) ||
             BadNumber("-m", 0, kMaximumMode, optarg);
    case 'a':
      return ParseNumber(optarg, 0, kMaximumAmount, command.settings.amount) ||
             BadNumber("-a", 0, kMaximumAmount, optarg);
    case 'A':
      command.settings.optionA = true;
      return true;
    case 'B':
      command.settings.optionB = true;
      return true;
    case 'C':
      command.settings.optionC = true;
      return true;
    case 'S':
      command.writerFlag = true;
      return true;
  }
  return Usage();
}

// One option into `command`; false, with the exit status in `exitStatus`,
// when the program is to end here.
bool TakeOption(int option, Command& command, FormatOptions& format, int& exitStatus) {
  switch (option) {
    case 'j':
      return ParseNumber(optarg, 1, kMaximumJobs, command.jobs) ||
             BadNumber("-j", 1, kMaximumJobs, optarg);
    case '0':
      format.nul = true;
      return true;
    case kJsonOption:
      format.json = true;
      return true;
    case kSkipSameOption:
      command.skipSame = true;
      return command.name == "write" || Usage();
    case kHelpOption:
      WriteText(Stream::kOut, kUsage);
      exitStatus = kDone;
      return false;
    case kVersionOption:
      WriteText(Stream::kOut, kVersionText);
      exitStatus = kDone;
      return false;
    case '?':
      return Usage();
  }
  return TakeSetting(option, command);
}

// The options after the command word into `command`.
bool ParseOptions(int argc, char* argv[], Command& command, int& exitStatus) {
  optind = 2;
  const char* options = command.name == "write" ? "j:m:a:ABCS0" : "j:0";
  // getopt_long, which takes options after the files on every target.
  const struct option longOptions[] = {{"json", no_argument, nullptr, kJsonOption},
                                       {"skip-same", no_argument, nullptr, kSkipSameOption},
                                       {"help", no_argument, nullptr, kHelpOption},
                                       {"version", no_argument, nullptr, kVersionOption},
                                       {nullptr, 0, nullptr, 0}};
  FormatOptions format;
  for (int option; (option = getopt_long(argc, argv, options, longOptions, nullptr)) != -1;) {
    if (!TakeOption(option, command, format, exitStatus))
      return false;
  }
  if (format.nul && format.json)
    return Usage();
  command.format = format.json ? Format::kJson : format.nul ? Format::kNul : Format::kPlain;
  return true;
}

}  // namespace

bool ParseCommandLine(int argc, char* argv[], Command& command, int& exitStatus) {
  exitStatus = kCannotRun;
  if (argc < 2)
    return Usage();
  std::string first = argv[1];
  if (first == "--help" || first == "-h" || first == "--version") {
    WriteText(Stream::kOut, first == "--version" ? kVersionText : kUsage);
    exitStatus = kDone;
    return false;
  }
  command.name = first;
  if (!ParseOptions(argc, argv, command, exitStatus))
    return false;
  command.paths.assign(argv + optind, argv + argc);
  bool known = command.name == "check" || command.name == "read" || command.name == "write";
  if (!known || command.paths.empty())
    return Usage();
  command.readBlock = command.name == "read" && command.format == Format::kPlain &&
                      command.paths.size() == 1 && !IsDirectory(command.paths[0].c_str());
  return true;
}
