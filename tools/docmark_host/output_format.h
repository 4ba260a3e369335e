// The forms a result is written in: plain lines for people, bare paths
// (NUL-ended with -0) and JSON lines for programs.
#ifndef DOCMARK_HOST_OUTPUT_FORMAT_H
#define DOCMARK_HOST_OUTPUT_FORMAT_H

#include <string>

#include "command_line.h"
#include "file_command.h"

// The file's result on standard output in the command's form, for a
// terminal or not; empty for a failure in plain form, which goes to
// standard error alone, and for a file that --only leaves out.
std::string ResultText(const Outcome& outcome, const Command& command, bool terminal);

// A name as a plain line shows it: as it is, unless a line break in it would
// break the line or, on a terminal, a control character in it could be
// taken for a command; then as a JSON string.
std::string PlainName(const std::string& path, bool terminal);

#endif
