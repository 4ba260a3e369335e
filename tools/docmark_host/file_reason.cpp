#include "file_reason.h"

#include <regex>

namespace {

// Writers put the encryption dictionary and the trailer that names it at one
// end of the file or the other.
const size_t kEndLength = 64 * 1024;

const Reason kPasswordProtected = {"password-protected", "password-protected"};
const Reason kChangesForbidden = {"changes-forbidden", "changes forbidden by its encryption"};
const Reason kNotAPdf = {"not-a-pdf", "not a PDF, or damaged"};
const Reason kNoTag = {"no-tag", "no valid tag"};

// /P of the standard security handler's dictionary; false when it is not
// among these bytes.
bool FindPermissions(const std::string& bytes, long long& permissions) {
  static const std::regex handler(R"(/Filter\s*/Standard\b)");
  static const std::regex entry(R"(/P\s*(-?\d+)(?![\d.]|\s+\d+\s+R))");
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

}  // namespace

Reason SystemReason(const FileCheck& check) {
  switch (check.state) {
    case FileState::kUsable:
      return {};
    case FileState::kNotFound:
      return {"not-found", check.text};
    case FileState::kNotReadable:
      return {"not-readable", check.text};
    case FileState::kNotWritable:
      return {"not-writable", check.text};
    case FileState::kDirectory:
      return {"is-a-directory", check.text};
    case FileState::kNotAFile:
      return {"not-a-file", check.text};
    case FileState::kInUse:
      return {"in-use", check.text};
    case FileState::kOther:
      break;
  }
  return {"system", check.text};
}

Reason RefusalReason(const char* path, bool writing) {
  std::string head, tail;
  if (!ReadFileEnds(path, kEndLength, head, tail))
    return kNotAPdf;
  return RefusalReason(head, tail, writing);
}

Reason RefusalReason(const std::string& head, const std::string& tail, bool writing) {
  if (head.find("%PDF-") >= 1024)
    return kNotAPdf;
  std::string ends = head + "\n" + tail;
  if (ends.find("/Encrypt") == std::string::npos)
    return writing ? kNotAPdf : kNoTag;
  // Modification allowed (bit 4 of /P) and still refused: the file needs its
  // password to open. A read may as well have found no tag.
  long long permissions = 0;
  if (!FindPermissions(ends, permissions) || !(permissions & 8))
    return kChangesForbidden;
  return writing ? kPasswordProtected : kNoTag;
}
