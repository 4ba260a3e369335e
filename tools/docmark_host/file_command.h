// The command on one file, and what came of it.
#ifndef DOCMARK_HOST_FILE_COMMAND_H
#define DOCMARK_HOST_FILE_COMMAND_H

#include <string>

#include "command_line.h"
#include "docmark_library.h"
#include "file_reason.h"

enum class Result { kTagged, kNotTagged, kRead, kWritten, kSkipped, kFailed };

// One file's result, and what is known of its tag.
struct Outcome {
  std::string path;
  Result result = Result::kFailed;
  bool hasSettings = false;  // the settings and the writer flag
  bool hasTag = false;       // all of the tag: the version and the stored size too
  PDFSettingsInfo settings = {};
  PDFVersionInfo version = {};
  int64_t size = 0;
  Reason reason;  // of a failure
};

// A failure of the path, a directory that cannot be read among them.
Outcome Failed(const std::string& path, Reason reason);

// Checks, reads or writes the file's tag as the command says.
Outcome RunOnFile(const DocmarkLibrary& docmark, const Command& command, const std::string& path);

#endif
