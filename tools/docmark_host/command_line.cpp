#include "command_line.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "os/console.h"
#include "os/directory.h"

// The version the kit's build gives, which the library writes into a tag.
static_assert(DOCMARK_VERSION_MAJOR == DEVKIT_VERSION_MAJOR &&
                  DOCMARK_VERSION_MINOR == DEVKIT_VERSION_MINOR &&
                  DOCMARK_VERSION_PATCH == DEVKIT_VERSION_PATCH,
              "docmark.h's version is the project's");

namespace {

#define DOCMARK_HOST_TEXT(x) #x
#define DOCMARK_HOST_VERSION(major, minor, patch) \
  DOCMARK_HOST_TEXT(major) "." DOCMARK_HOST_TEXT(minor) "." DOCMARK_HOST_TEXT(patch)
const char kVersionText[] = "docmark_host " DOCMARK_HOST_VERSION(
    DOCMARK_VERSION_MAJOR, DOCMARK_VERSION_MINOR, DOCMARK_VERSION_PATCH) "\n";

const char kSynopsis[] =
    "usage: docmark_host check [-j jobs] [--json | --only WHICH [-0] | -q] PATH...\n"
    "       docmark_host read [-j jobs] [--json | --only WHICH [-0] | -q] PATH...\n"
    "       docmark_host write [-j jobs] [--json | --only WHICH [-0] | -q] [--skip-same] [-P]\n"
    "                          [-m mode] [-a amount] [-A] [-B] [-C] [-S] PATH...\n"
    "       docmark_host --help | --version\n";

const char kDetails[] =
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
    "         -P          keeps each written file's modification time\n"
    "-j jobs     works on that many files at once (1 to 256; default 1)\n"
    "--json      one JSON object a line for each file, failures included\n"
    "--only WHICH  prints only the paths of the files that are tagged, untagged\n"
    "            or failed, one a line\n"
    "-0          ends each path of --only with a NUL, for xargs -0\n"
    "-q          prints nothing but the failures\n"
    "A summary goes to stderr at the end. Exit 0 when every file was done, 1 when\n"
    "some failed (or, for check, is not tagged), 2 for a bad command line.\n";

const int kMaximumJobs = 256;
const int32_t kMaximumMode = 15;
const int32_t kMaximumAmount = 0xFFFF;

enum LongOption { kJsonOption = 256, kSkipSameOption, kOnlyOption, kHelpOption, kVersionOption };

// clang-format off
const struct option kLongOptions[] = {
    {"json",      no_argument,       nullptr, kJsonOption},
    {"skip-same", no_argument,       nullptr, kSkipSameOption},
    {"only",      required_argument, nullptr, kOnlyOption},
    {"help",      no_argument,       nullptr, kHelpOption},
    {"version",   no_argument,       nullptr, kVersionOption},
    {nullptr,     0,                 nullptr, 0}};
// clang-format on

// The options a write alone takes.
const char kWriteOptions[] = "maABCSP";

// What was wrong with the command line, then the synopsis.
bool UsageError(const std::string& what) {
  WriteText(Stream::kErr, "docmark_host: " + what + "\n" + kSynopsis);
  return false;
}

bool BadNumber(const char* option, int32_t least, int32_t most, const char* text) {
  WriteText(Stream::kErr, std::string("docmark_host: ") + option + " needs a number from " +
                              std::to_string(least) + " to " + std::to_string(most) + ", not \"" +
                              text + "\"\n");
  return false;
}

bool ParseNumber(const char* option, const char* text, int32_t least, int32_t most,
                 int32_t& value) {
  char* end;
  errno = 0;
  long long number = strtoll(text, &end, 10);
  if (errno || end == text || *end || number < least || number > most)
    return BadNumber(option, least, most, text);
  value = static_cast<int32_t>(number);
  return true;
}

bool ParseOnly(const char* text, Only& only) {
  const char* const names[] = {"tagged", "untagged", "failed"};
  for (int i = 0; i < 3; ++i) {
    if (strcmp(text, names[i]) == 0) {
      only = static_cast<Only>(i + 1);
      return true;
    }
  }
  return UsageError(std::string("--only takes tagged, untagged or failed, not \"") + text + "\"");
}

// How an option is written: "-m", "--only".
std::string OptionName(int option) {
  for (const struct option& known : kLongOptions) {
    if (known.name && known.val == option)
      return std::string("--") + known.name;
  }
  return std::string("-") + static_cast<char>(option);
}

// The option getopt could not take: unknown, or without its value.
bool BadOption(int option, char* argv[]) {
  if (option == ':')
    return UsageError(OptionName(optopt) + " needs a value");
  if (optopt == 0)
    return UsageError(std::string("unknown option ") + argv[optind - 1]);
  return UsageError("unknown option " + OptionName(optopt));
}

// One option of a write's settings into `command`; false for a bad value.
bool TakeSetting(int option, Command& command) {
  switch (option) {
    case 'm':
      return ParseNumber("-m", optarg, 0, kMaximumMode, command.settings.mode);
    case 'a':
      return ParseNumber("-a", optarg, 0, kMaximumAmount, command.settings.amount);
    case 'A':
      command.settings.optionA = true;
      break;
    case 'B':
      command.settings.optionB = true;
      break;
    case 'C':
      command.settings.optionC = true;
      break;
    case 'S':
      command.writerFlag = true;
      break;
    case 'P':
      command.keepTime = true;
      break;
  }
  return true;
}

// One option into `command`; false, with the exit status in `exitStatus`,
// when the program is to end here.
bool TakeOption(int option, char* argv[], Command& command, int& exitStatus) {
  switch (option) {
    case 'j':
      return ParseNumber("-j", optarg, 1, kMaximumJobs, command.jobs);
    case '0':
      command.end = '\0';
      return true;
    case 'q':
      command.quiet = true;
      return true;
    case kJsonOption:
      command.format = Format::kJson;
      return true;
    case kOnlyOption:
      return ParseOnly(optarg, command.only);
    case kSkipSameOption:
      command.skipSame = true;
      return true;
    case kHelpOption:
    case kVersionOption:
      WriteText(Stream::kOut, option == kHelpOption ? std::string(kSynopsis) + kDetails
                                                    : std::string(kVersionText));
      exitStatus = kDone;
      return false;
    case '?':
    case ':':
      return BadOption(option, argv);
  }
  return TakeSetting(option, command);
}

// The options that do not go with the command or with each other.
bool CheckCombination(const Command& command, const std::string& writeOnly) {
  if (!writeOnly.empty() && command.name != "write")
    return UsageError(writeOnly + " is for write only");
  bool only = command.only != Only::kAll;
  if (command.end == '\0' && !only)
    return UsageError("-0 needs --only");
  if (only && command.format == Format::kJson)
    return UsageError("--only and --json do not go together");
  if (command.quiet && (only || command.format == Format::kJson))
    return UsageError(std::string("-q and ") + (only ? "--only" : "--json") +
                      " do not go together");
  return true;
}

// The options after the command word into `command`.
bool ParseOptions(int argc, char* argv[], Command& command, int& exitStatus) {
  optind = 2;
  opterr = 0;  // each mistake is told here, with the program's name alone
  // getopt_long, which takes options after the files on every target.
  std::string writeOnly;
  for (int option;
       (option = getopt_long(argc, argv, ":j:m:a:ABCSP0q", kLongOptions, nullptr)) != -1;) {
    if (!TakeOption(option, argv, command, exitStatus))
      return false;
    bool forWrite = option == kSkipSameOption || (option < 256 && strchr(kWriteOptions, option));
    if (forWrite && writeOnly.empty())
      writeOnly = OptionName(option);
  }
  return CheckCombination(command, writeOnly);
}

}  // namespace

bool ParseCommandLine(int argc, char* argv[], Command& command, int& exitStatus) {
  exitStatus = kCannotRun;
  if (argc < 2)
    return UsageError("no command: check, read or write");
  std::string first = argv[1];
  if (first == "--help" || first == "-h" || first == "--version") {
    WriteText(Stream::kOut,
              first == "--version" ? std::string(kVersionText) : std::string(kSynopsis) + kDetails);
    exitStatus = kDone;
    return false;
  }
  command.name = first;
  if (first != "check" && first != "read" && first != "write")
    return UsageError("unknown command \"" + first + "\": check, read or write");
  if (!ParseOptions(argc, argv, command, exitStatus))
    return false;
  command.paths.assign(argv + optind, argv + argc);
  if (command.paths.empty())
    return UsageError(command.name + " needs a path");
  command.readBlock = command.name == "read" && command.format == Format::kPlain &&
                      command.only == Only::kAll && !command.quiet && command.paths.size() == 1 &&
                      !IsDirectory(command.paths[0].c_str());
  return true;
}
