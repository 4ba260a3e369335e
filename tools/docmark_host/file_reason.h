// Why a file failed, as far as a host can tell from outside the library,
// whose calls answer only true or false: what the system says of the file,
// else a look at the two ends of a file that the library refused. The
// reasons, their words and the rules come from the list that the Python
// package reads too (python/docmark/reasons.json).
#ifndef DOCMARK_HOST_FILE_REASON_H
#define DOCMARK_HOST_FILE_REASON_H

#include <string>

#include "os/file_check.h"

struct Reason {
  std::string code;  // for programs: "not-found", "password-protected", ...
  std::string text;  // for people
};

// The reason the system gave; for FileState::kUsable, none.
Reason SystemReason(const FileCheck& check);

// Why the library refused a file that the system lets it read (and write,
// for a write).
Reason RefusalReason(const char* path, bool writing);

// The same, from the file's first and last bytes.
Reason RefusalReason(const std::string& head, const std::string& tail, bool writing);

#endif
