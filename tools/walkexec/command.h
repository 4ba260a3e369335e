// The command line for a file, or for a batch of files: the template with
// their paths in it.
#ifndef WALKEXEC_COMMAND_H
#define WALKEXEC_COMMAND_H

#include <cstddef>
#include <string>
#include <vector>

// The template with every "@path" replaced by the quoted path.
std::wstring commandLineForFile(const std::wstring& path, const std::wstring& command);

// Replaces every occurrence of `token`, left to right; text brought in by a
// replacement is not searched again.
void replaceAll(std::wstring& text, const std::wstring& token, const std::wstring& replacement);

// A template with "@path" runs once per file. One with "@paths" runs once
// per batch: every "@paths" stands for as many quoted paths, separated by
// blanks, as fit one command line.
class CommandTemplate {
 public:
  explicit CommandTemplate(const std::wstring& command);

  bool batches() const { return batchTokens_ > 0; }
  // Whether it holds "@path" besides "@paths", which no line can take.
  bool mixes() const { return batchTokens_ > 0 && fileTokens_ > 0; }

  // The line for one file, or for a batch of them.
  std::wstring lineFor(const std::vector<std::wstring>& paths) const;

  // The length of a batch's line without paths, what each path adds, and
  // the most a line may take, in the units that the system counts.
  size_t emptyLength() const { return emptyLength_; }
  size_t lengthOf(const std::wstring& path) const;
  size_t longest() const { return longest_; }

 private:
  std::wstring command_;
  size_t fileTokens_ = 0;   // "@path" not followed by "s".
  size_t batchTokens_ = 0;  // "@paths".
  size_t emptyLength_;
  size_t longest_;
};

#endif
