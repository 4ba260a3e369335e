#include "quoting.h"

#include "exact_path.h"

namespace os {

namespace {

// The most that the command interpreter reads of a line, less the quotes
// that the runner wraps it in.
const size_t kInterpreterLine = 8191 - 2;

}  // namespace

// A name that ends in a dot or a blank reaches the command as it stands,
// in the long form.
std::wstring quotePath(const std::wstring& path) {
  return L"\"" + exactPath(path) + L"\"";
}

size_t commandLineLength(const std::wstring& line) {
  return line.size();
}

size_t longestCommandLine() {
  return kInterpreterLine;
}

}  // namespace os
