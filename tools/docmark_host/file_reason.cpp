#include "file_reason.h"

#include <cstring>
#include <regex>

#include "reason_table.h"

namespace {

using namespace reason_table;

Reason Named(const char* code, const std::string& text = "") {
  for (const Text& reason : kReasons) {
    if (strcmp(reason.code, code) == 0)
      return {code, text.empty() ? reason.words : text};
  }
  return {code, text};
}

#ifdef _WIN32
// The reasons the list names read as on POSIX, whatever the system's
// language; others as Windows words them.
const bool kListWordsFirst = true;
#else
const bool kListWordsFirst = false;
#endif

Reason FromSystemError(const FileCheck& check) {
  for (const KnownError& known : kSystemErrors) {
    if (known.error == check.error)
      return Named(known.code, kListWordsFirst ? "" : check.text);
  }
  return Named("system", check.text);
}

// /P of the standard security handler's dictionary; false when it is not
// among these bytes.
bool FindPermissions(const std::string& bytes, long long& permissions) {
  static const std::regex handler(kStandardHandler);
  static const std::regex entry(kPermissions);
  std::smatch found;
  if (!std::regex_search(bytes, found, handler))
    return false;
  size_t start = bytes.rfind("obj", found.position(0));
  size_t end = bytes.find("endobj", found.position(0));
  std::string dictionary = bytes.substr(start == std::string::npos ? 0 : start,
                                        end == std::string::npos ? std::string::npos : end - start);
  if (!std::regex_search(dictionary, found, entry))
    return false;
  permissions = std::stoll(found.str(1));
  return true;
}

// Whether the fact a refusal rule names holds of the file's ends.
bool Holds(const std::string& fact, const std::string& head, const std::string& ends) {
  long long permissions = 0;
  if (fact == "header")
    return head.find(kHeader) < kHeaderWithin;
  if (fact == "encrypted")
    return ends.find(kEncrypted) != std::string::npos;
  if (fact == "may_modify")
    return FindPermissions(ends, permissions) && (permissions & kMayModify);
  return false;
}

}  // namespace

Reason SystemReason(const FileCheck& check) {
  switch (check.state) {
    case FileState::kUsable:
      return {};
    case FileState::kSystemError:
      return FromSystemError(check);
    case FileState::kNotWritable:
      return Named("not-writable");
    case FileState::kFolderNotWritable:
      return Named("not-writable", kFolderNotWritable);
    case FileState::kDirectory:
      return Named("is-a-directory", check.text);
    case FileState::kNotAFile:
      break;
  }
  return Named("not-a-file");
}

Reason RefusalReason(const char* path, bool writing) {
  std::string head, tail;
  if (!ReadFileEnds(path, kEndLength, head, tail))
    head.clear(), tail.clear();
  return RefusalReason(head, tail, writing);
}

Reason RefusalReason(const std::string& head, const std::string& tail, bool writing) {
  std::string ends = head + "\n" + tail;
  for (const RefusalRule& rule : kRefusal) {
    if (!Holds(rule.unless, head, ends))
      return Named(writing ? rule.write : rule.read);
  }
  return Named("not-a-pdf");
}
