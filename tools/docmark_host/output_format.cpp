#include "output_format.h"

#include <cstdio>

#include "utf8.h"

namespace {

// What a terminal could take for a command, and a byte that is not UTF-8,
// which comes as the lone surrogate escape U+DC80 to U+DCFF.
bool IsControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF);
}

// A JSON string that gives back every name: a byte that is not UTF-8 comes
// as its surrogate escape, as Python's "surrogateescape" makes and takes it.
void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (char32_t c : utf8::DecodeLossless<std::u32string>(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (IsControl(c)) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      utf8::AppendUtf8(out, c);
    }
  }
  out += '"';
}

bool NeedsQuotes(const std::string& path, bool terminal) {
  if (!terminal)
    return path.find_first_of("\n\r") != std::string::npos;
  for (char32_t c : utf8::DecodeLossless<std::u32string>(path)) {
    if (IsControl(c))
      return true;
  }
  return false;
}

}  // namespace

std::string PlainName(const std::string& path, bool terminal) {
  if (!NeedsQuotes(path, terminal))
    return path;
  std::string quoted;
  AppendJsonString(quoted, path);
  return quoted;
}

namespace {

std::string TagText(const Outcome& outcome, bool block) {
  const PDFSettingsInfo& s = outcome.settings;
  const PDFVersionInfo& v = outcome.version;
  char text[512];
  const char* format =
      block ? "version: %d.%d.%d\nwriter flag: %d\nmode: %d\namount: %d\noption A: %d\n"
              "option B: %d\noption C: %d\nstored size: %lld"
            : "version %d.%d.%d, writer flag %d, mode %d, amount %d, option A %d, option B %d, "
              "option C %d, stored size %lld";
  snprintf(text, sizeof text, format, v.major, v.minor, v.build, v.writerFlag, s.mode, s.amount,
           s.optionA, s.optionB, s.optionC, static_cast<long long>(outcome.size));
  return text;
}

// Whether --only names the file. A read counts a file without a valid tag
// as untagged, as check does, rather than failed.
bool Selected(const Outcome& outcome, Only only) {
  bool untagged = outcome.result == Result::kNotTagged ||
                  (outcome.result == Result::kFailed && outcome.reason.code == "no-tag");
  switch (only) {
    case Only::kAll:
      return true;
    case Only::kTagged:
      return outcome.result != Result::kFailed && outcome.result != Result::kNotTagged;
    case Only::kUntagged:
      return untagged;
    case Only::kFailed:
      break;
  }
  return outcome.result == Result::kFailed && !untagged;
}

// The result on standard output: none for a failure in plain form.
std::string PlainLine(const Outcome& outcome, const Command& command, bool terminal) {
  // A NUL ends any name, and a line break in one is its own.
  const char end = command.end;
  std::string name = end == '\0' && !terminal ? outcome.path : PlainName(outcome.path, terminal);
  if (command.only != Only::kAll)
    return Selected(outcome, command.only) ? name + end : "";
  switch (outcome.result) {
    case Result::kTagged:
    case Result::kWritten:
      return name + ": tagged" + end;
    case Result::kNotTagged:
      return name + ": not tagged" + end;
    case Result::kSkipped:
      return name + ": skipped, same tag" + end;
    case Result::kRead:
      return command.readBlock ? TagText(outcome, true) + "\n"
                               : name + ": " + TagText(outcome, false) + end;
    case Result::kFailed:
      break;
  }
  return "";
}

const char* ResultName(Result result) {
  switch (result) {
    case Result::kTagged:
    case Result::kWritten:
      return "tagged";
    case Result::kNotTagged:
      return "not tagged";
    case Result::kRead:
      return "read";
    case Result::kSkipped:
      return "skipped";
    case Result::kFailed:
      break;
  }
  return "failed";
}

// One object a line, every key always there, null where it has no value.
std::string JsonLine(const Outcome& outcome) {
  auto number = [](bool known, long long value) { return known ? std::to_string(value) : "null"; };
  auto flag = [](bool known, bool value) {
    return std::string(known ? (value ? "true" : "false") : "null");
  };
  auto text = [](const std::string& value) {
    std::string quoted;
    if (value.empty())
      return std::string("null");
    AppendJsonString(quoted, value);
    return quoted;
  };
  const PDFSettingsInfo& s = outcome.settings;
  const PDFVersionInfo& v = outcome.version;
  bool set = outcome.hasSettings;
  std::string version =
      std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.build);
  return "{\"path\": " + text(outcome.path) + ", \"result\": \"" + ResultName(outcome.result) +
         "\", \"version\": " + (outcome.hasTag ? text(version) : "null") +
         ", \"writer_flag\": " + flag(set, v.writerFlag) + ", \"mode\": " + number(set, s.mode) +
         ", \"amount\": " + number(set, s.amount) + ", \"option_a\": " + flag(set, s.optionA) +
         ", \"option_b\": " + flag(set, s.optionB) + ", \"option_c\": " + flag(set, s.optionC) +
         ", \"stored_size\": " + number(outcome.hasTag, outcome.size) +
         ", \"error\": " + text(outcome.reason.text) +
         ", \"reason\": " + text(outcome.reason.code) + "}\n";
}

}  // namespace

std::string ResultText(const Outcome& outcome, const Command& command, bool terminal) {
  if (command.quiet)
    return "";
  return command.format == Format::kJson ? JsonLine(outcome)
                                         : PlainLine(outcome, command, terminal);
}
