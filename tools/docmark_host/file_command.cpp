#include "file_command.h"

#include "os/file_time.h"

namespace {

// The version the library writes into a tag.
const PDFVersionInfo kWrittenVersion = {DOCMARK_VERSION_MAJOR, DOCMARK_VERSION_MINOR,
                                        DOCMARK_VERSION_PATCH, false};

Outcome Done(const std::string& path, Result result) {
  Outcome outcome;
  outcome.path = path;
  outcome.result = result;
  return outcome;
}

}  // namespace

Outcome Failed(const std::string& path, Reason reason) {
  Outcome outcome = Done(path, Result::kFailed);
  outcome.reason = std::move(reason);
  return outcome;
}

namespace {

// What the system says against a file that the library refused, else what
// the file itself shows.
Outcome Refused(const std::string& path, bool writing) {
  Reason reason = SystemReason(CheckFileAccess(path.c_str(), writing));
  return Failed(path, reason.code.empty() ? RefusalReason(path.c_str(), writing) : reason);
}

Outcome Check(const DocmarkLibrary& docmark, const std::string& path) {
  if (docmark.isAlreadyOptimized(LibraryPath(path).c_str()))
    return Done(path, Result::kTagged);
  // Untagged only when the file could be read at all.
  Reason reason = SystemReason(CheckFileAccess(path.c_str(), false));
  return reason.code.empty() ? Done(path, Result::kNotTagged) : Failed(path, reason);
}

bool ReadTag(const DocmarkLibrary& docmark, const std::string& path, Outcome& outcome) {
  outcome.path = path;
  outcome.hasSettings = outcome.hasTag =
      docmark.read(LibraryPath(path).c_str(), &outcome.settings, &outcome.size, &outcome.version);
  return outcome.hasTag;
}

Outcome Read(const DocmarkLibrary& docmark, const std::string& path) {
  Outcome outcome;
  if (!ReadTag(docmark, path, outcome))
    return Refused(path, false);
  outcome.result = Result::kRead;
  return outcome;
}

bool SameTag(const Outcome& tag, const Command& command) {
  const PDFSettingsInfo& a = tag.settings;
  const PDFSettingsInfo& b = command.settings;
  return tag.version.major == kWrittenVersion.major && tag.version.minor == kWrittenVersion.minor &&
         tag.version.build == kWrittenVersion.build &&
         tag.version.writerFlag == command.writerFlag && a.mode == b.mode && a.amount == b.amount &&
         a.optionA == b.optionA && a.optionB == b.optionB && a.optionC == b.optionC;
}

// The write, and with -P the modification time set back after it.
Outcome WriteKeepingTime(const DocmarkLibrary& docmark, const Command& command,
                         const std::string& path) {
  FileTime time;
  Reason reason = SystemReason(ReadModificationTime(path.c_str(), time));
  if (!reason.code.empty())
    return Failed(path, reason);
  if (!docmark.write(LibraryPath(path).c_str(), command.settings, command.writerFlag))
    return Refused(path, true);
  reason = SystemReason(SetModificationTime(path.c_str(), time));
  if (!reason.code.empty()) {
    reason.text = "tagged, but its modification time is not kept: " + reason.text;
    return Failed(path, reason);
  }
  return Done(path, Result::kWritten);
}

Outcome Write(const DocmarkLibrary& docmark, const Command& command, const std::string& path) {
  Outcome outcome;
  if (command.skipSame && ReadTag(docmark, path, outcome) && SameTag(outcome, command)) {
    outcome.result = Result::kSkipped;
    return outcome;
  }
  if (command.keepTime) {
    outcome = WriteKeepingTime(docmark, command, path);
    if (outcome.result == Result::kFailed)
      return outcome;
  } else if (!docmark.write(LibraryPath(path).c_str(), command.settings, command.writerFlag)) {
    return Refused(path, true);
  }
  outcome = Done(path, Result::kWritten);
  outcome.hasSettings = true;
  outcome.settings = command.settings;
  outcome.version.writerFlag = command.writerFlag;
  return outcome;
}

}  // namespace

// A directory, a pipe or a missing file is not handed to the library, which
// would wait on a pipe.
Outcome RunOnFile(const DocmarkLibrary& docmark, const Command& command, const std::string& path) {
  Reason reason = SystemReason(CheckFileKind(path.c_str()));
  if (!reason.code.empty())
    return Failed(path, reason);
  if (command.name == "check")
    return Check(docmark, path);
  if (command.name == "read")
    return Read(docmark, path);
  return Write(docmark, command, path);
}
