// What the command line asks: the command, its settings, the output form,
// the jobs and the paths.
#ifndef DOCMARK_HOST_COMMAND_LINE_H
#define DOCMARK_HOST_COMMAND_LINE_H

#include <string>
#include <vector>

#include "docmark/docmark.h"

// Exit statuses: every file done, some file failed, the command itself failed.
const int kDone = 0;
const int kFileFailed = 1;
const int kCannotRun = 2;

enum class Format { kPlain, kJson };

// Which files --only names, by their bare paths.
enum class Only { kAll, kTagged, kUntagged, kFailed };

struct Command {
  std::string name;  // check, read or write
  PDFSettingsInfo settings = {};
  bool writerFlag = false;
  bool skipSame = false;
  bool keepTime = false;  // -P: a written file keeps its modification time
  Format format = Format::kPlain;
  Only only = Only::kAll;
  char end = '\n';         // of each result: a NUL with -0
  bool quiet = false;      // -q: nothing but the failures
  bool readBlock = false;  // read of one file named alone: one line per field
  int jobs = 1;
  std::vector<std::string> paths;
};

// Fills `command` from the arguments; false, with the exit status in
// `exitStatus`, when the program is to end here (a bad command line, which
// is told on standard error, or --help or --version, which are answered).
bool ParseCommandLine(int argc, char* argv[], Command& command, int& exitStatus);

#endif
