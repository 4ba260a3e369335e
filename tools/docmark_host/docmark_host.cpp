// docmark_host: a sample host program for docmark. It loads the library at
// run time, as a host does, binds its three functions by name, and checks,
// reads or writes the optimisation tag of the PDF files on its command line
// and under the directories there, several at once in one process with -j.
#include <getopt.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "docmark/docmark.h"
#include "file_reason.h"
#include "host_platform.h"
#include "utf8.h"

namespace {

const char kVersionText[] = "docmark_host 7.9.9\n";

const char kUsage[] =
    "usage: docmark_host check [-j jobs] [--json | -0] PATH...\n"
    "       docmark_host read [-j jobs] [--json | -0] PATH...\n"
    "       docmark_host write [-j jobs] [--json | -0] [--skip-same] [-m mode] [-a amount]\n"
    "                          [-A] [-B] [-C] [-S] PATH...\n"
    "       docmark_host --help | --version\n"
    "\n"
    "Each PATH is a file, or a directory whose files named *.pdf (in any case) are\n"
    "taken, in every directory below it.\n"
    "check  tells for each file whether it carries a valid tag; exit 0 when all do\n"
    "read   prints the tag of each file\n"
    "write  tags each file with these settings (all 0 unless given):\n"
    "         -m mode     0 to 15\n"
    "         -a amount   0 to 65535\n"
    "         -A, -B, -C  set option A, B or C\n"
    "         -S          set the writer flag\n"
    "         --skip-same leaves a file alone that carries this tag already\n"
    "-j jobs  works on that many files at once (1 to 256; default 1)\n"
    "--json   one JSON object a line for each file, failures included\n"
    "-0       ends each result with a NUL instead of a newline\n"
    "A summary goes to stderr at the end. Exit 0 when every file was done, 1 when\n"
    "some failed (or, for check, is not tagged), 2 for a bad command line.\n";

// Exit codes: every file done, some file failed, the command itself failed.
const int kDone = 0;
const int kFileFailed = 1;
const int kCannotRun = 2;

const int kMaximumJobs = 256;
const int32_t kMaximumMode = 15;
const int32_t kMaximumAmount = 0xFFFF;
// The version the library writes into a tag.
const PDFVersionInfo kWrittenVersion = {7, 9, 9, false};

// The library, with its three functions.
class Docmark {
 public:
  Docmark() {
    handle_ = OpenDocmark(error_);
    if (!handle_)
      return;
    Bind(isAlreadyOptimized, "VTPDFTagIsAlreadyOptimized");
    Bind(read, "VTPDFTagRead");
    Bind(write, "VTPDFTagWrite");
  }
  ~Docmark() {
    if (handle_)
      CloseDocmark(handle_);
  }
  Docmark(const Docmark&) = delete;
  Docmark& operator=(const Docmark&) = delete;

  bool loaded() const { return isAlreadyOptimized && read && write; }
  const std::string& error() const { return error_; }

  decltype(&VTPDFTagIsAlreadyOptimized) isAlreadyOptimized = nullptr;
  decltype(&VTPDFTagRead) read = nullptr;
  decltype(&VTPDFTagWrite) write = nullptr;

 private:
  template <class Function>
  void Bind(Function& function, const char* name) {
    function = reinterpret_cast<Function>(FindFunction(handle_, name));
    if (!function)
      error_ = std::string(kDocmarkName) + " has no function " + name;
  }

  void* handle_ = nullptr;
  std::string error_;
};

enum class Format { kPlain, kNul, kJson };

// What the command line asks for each file.
struct Command {
  std::string name;  // check, read or write
  PDFSettingsInfo settings = {};
  bool writerFlag = false;
  bool skipSame = false;
  Format format = Format::kPlain;
  bool readBlock = false;  // read of one file named alone: one line per field
};

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

Outcome Done(const std::string& path, Result result) {
  Outcome outcome;
  outcome.path = path;
  outcome.result = result;
  return outcome;
}

Outcome Failed(const std::string& path, Reason reason) {
  Outcome outcome = Done(path, Result::kFailed);
  outcome.reason = std::move(reason);
  return outcome;
}

// What the system says against a file that the library refused, else what
// the file itself shows.
Outcome Refused(const std::string& path, bool writing) {
  Reason reason = SystemReason(CheckFileAccess(path.c_str(), writing));
  return Failed(path, reason.code.empty() ? RefusalReason(path.c_str(), writing) : reason);
}

Outcome Check(const Docmark& docmark, const std::string& path) {
  if (docmark.isAlreadyOptimized(LibraryPath(path.c_str()).c_str()))
    return Done(path, Result::kTagged);
  // Untagged only when the file could be read at all.
  Reason reason = SystemReason(CheckFileAccess(path.c_str(), false));
  return reason.code.empty() ? Done(path, Result::kNotTagged) : Failed(path, reason);
}

bool ReadTag(const Docmark& docmark, const std::string& path, Outcome& outcome) {
  outcome.path = path;
  outcome.hasSettings = outcome.hasTag = docmark.read(
      LibraryPath(path.c_str()).c_str(), &outcome.settings, &outcome.size, &outcome.version);
  return outcome.hasTag;
}

Outcome Read(const Docmark& docmark, const std::string& path) {
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

Outcome Write(const Docmark& docmark, const Command& command, const std::string& path) {
  Outcome outcome;
  if (command.skipSame && ReadTag(docmark, path, outcome) && SameTag(outcome, command)) {
    outcome.result = Result::kSkipped;
    return outcome;
  }
  if (!docmark.write(LibraryPath(path.c_str()).c_str(), command.settings, command.writerFlag))
    return Refused(path, true);
  outcome = Done(path, Result::kWritten);
  outcome.hasSettings = true;
  outcome.settings = command.settings;
  outcome.version.writerFlag = command.writerFlag;
  return outcome;
}

// A directory, a pipe or a missing file is not handed to the library, which
// would wait on a pipe.
Outcome Run(const Docmark& docmark, const Command& command, const std::string& path) {
  Reason reason = SystemReason(CheckFileKind(path.c_str()));
  if (!reason.code.empty())
    return Failed(path, reason);
  if (command.name == "check")
    return Check(docmark, path);
  if (command.name == "read")
    return Read(docmark, path);
  return Write(docmark, command, path);
}

// The paths from the walk to the jobs. The walk waits while the queue is
// full, so that memory stays flat however many files a tree holds.
class FileQueue {
 public:
  explicit FileQueue(size_t capacity) : capacity_(capacity) {}

  // False once the queue is stopped: the path is dropped.
  bool Push(std::string path) {
    std::unique_lock<std::mutex> hold(lock_);
    notFull_.wait(hold, [&] { return stopped_ || paths_.size() < capacity_; });
    if (stopped_)
      return false;
    paths_.push_back(std::move(path));
    notEmpty_.notify_one();
    return true;
  }

  // False once the queue is closed and empty.
  bool Pop(std::string& path) {
    std::unique_lock<std::mutex> hold(lock_);
    notEmpty_.wait(hold, [&] { return closed_ || !paths_.empty(); });
    if (paths_.empty())
      return false;
    path = std::move(paths_.front());
    paths_.pop_front();
    notFull_.notify_one();
    return true;
  }

  void Close() {
    std::lock_guard<std::mutex> hold(lock_);
    closed_ = true;
    notEmpty_.notify_all();
  }

  // Closes the queue and drops the paths not yet taken.
  void Stop() {
    std::lock_guard<std::mutex> hold(lock_);
    closed_ = stopped_ = true;
    paths_.clear();
    notEmpty_.notify_all();
    notFull_.notify_all();
  }

 private:
  const size_t capacity_;
  std::mutex lock_;
  std::condition_variable notFull_;
  std::condition_variable notEmpty_;
  std::deque<std::string> paths_;
  bool closed_ = false;
  bool stopped_ = false;
};

// A JSON string that gives back every name: a byte that is not UTF-8 comes
// as the lone surrogate escape U+DC80 to U+DCFF, as Python's "surrogateescape"
// makes and takes it.
void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (char32_t c : utf8::DecodeLossless<std::u32string>(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF)) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      utf8::AppendUtf8(out, c);
    }
  }
  out += '"';
}

// A name as a plain line shows it: as it is, unless a line break in it would
// break the line, then as a JSON string.
std::string PlainName(const std::string& path) {
  if (path.find_first_of("\n\r") == std::string::npos)
    return path;
  std::string quoted;
  AppendJsonString(quoted, path);
  return quoted;
}

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

// The result on standard output: none for a failure in plain form.
std::string PlainLine(const Outcome& outcome, const Command& command) {
  const char end = command.format == Format::kNul ? '\0' : '\n';
  std::string name = command.format == Format::kNul ? outcome.path : PlainName(outcome.path);
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

std::string Duration(double seconds) {
  long long whole = static_cast<long long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600)
    snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  else
    snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  return text;
}

// Writes each result as its file ends, and on a terminal keeps a progress
// line on standard error below them; a summary at the end.
class Reporter {
 public:
  Reporter(const Command& command, bool progress)
      : command_(command), progress_(progress), start_(std::chrono::steady_clock::now()) {}

  bool showsProgress() const { return progress_; }

  void Report(const Outcome& outcome, bool isFile) {
    std::string out =
        command_.format == Format::kJson ? JsonLine(outcome) : PlainLine(outcome, command_);
    std::lock_guard<std::mutex> hold(lock_);
    EraseProgress();
    if (!out.empty())
      WriteText(Stream::kOut, out);
    if (outcome.result == Result::kFailed) {
      WriteText(Stream::kErr,
                "docmark_host: " + PlainName(outcome.path) + ": " + outcome.reason.text + "\n");
    }
    files_ += isFile;
    ++counts_[static_cast<int>(outcome.result)];
    ShowProgress();
  }

  // The number of files the walk will give, once it has counted them.
  void SetTotal(size_t total) {
    std::lock_guard<std::mutex> hold(lock_);
    total_ = total;
    EraseProgress();
    ShowProgress();
  }

  // Replaces the progress line with the summary.
  void Finish(const std::string& stop) {
    std::lock_guard<std::mutex> hold(lock_);
    EraseProgress();
    std::string summary = "docmark_host: " + Counts();
    if (!stop.empty())
      summary += " (stopped by " + stop + ")";
    WriteText(Stream::kErr, summary + "\n");
  }

  // For check, an untagged file counts too.
  bool anyFailed() {
    std::lock_guard<std::mutex> hold(lock_);
    return Count(Result::kFailed) > 0 || Count(Result::kNotTagged) > 0;
  }

 private:
  size_t Count(Result result) const { return counts_[static_cast<int>(result)]; }

  std::string Counts() const {
    auto count = [&](Result result, const char* name) {
      return std::to_string(Count(result)) + " " + name + ", ";
    };
    std::string text;
    if (command_.name == "check")
      text = count(Result::kTagged, "tagged") + count(Result::kNotTagged, "not tagged");
    else if (command_.name == "read")
      text = count(Result::kRead, "read");
    else
      text = count(Result::kWritten, "tagged") +
             (command_.skipSame ? count(Result::kSkipped, "skipped") : "");
    return text + std::to_string(Count(Result::kFailed)) + " failed";
  }

  void EraseProgress() {
    if (shown_ > 0)
      WriteText(Stream::kErr, "\r" + std::string(shown_, ' ') + "\r");
    shown_ = 0;
  }

  void ShowProgress() {
    if (!progress_)
      return;
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
    double rate = elapsed.count() > 0 ? files_ / elapsed.count() : 0;
    char line[160];
    if (total_ > 0 && rate > 0) {
      double left = (total_ > files_ ? total_ - files_ : 0) / rate;
      snprintf(line, sizeof line, "%zu/%zu files, %zu failed, %.1f files/s, %s left", files_,
               total_, Count(Result::kFailed), rate, Duration(left).c_str());
    } else {
      snprintf(line, sizeof line, "%zu files, %zu failed, %.1f files/s", files_,
               Count(Result::kFailed), rate);
    }
    WriteText(Stream::kErr, line);
    shown_ = strlen(line);
  }

  const Command& command_;
  const bool progress_;
  const std::chrono::steady_clock::time_point start_;
  std::mutex lock_;
  size_t files_ = 0;
  size_t total_ = 0;  // 0 until the walk has counted the files
  size_t counts_[static_cast<int>(Result::kFailed) + 1] = {};
  size_t shown_ = 0;  // the length of the progress line on the terminal
};

bool EndsWithPdf(const std::string& name) {
  if (name.size() < 4)
    return false;
  std::string end = name.substr(name.size() - 4);
  std::transform(end.begin(), end.end(), end.begin(),
                 [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
  return end == ".pdf";
}

std::string Join(const std::string& directory, const std::string& name) {
  bool separated =
      !directory.empty() && (directory.back() == '/' || directory.back() == kPathSeparator);
  return separated ? directory + name : directory + kPathSeparator + name;
}

// Takes each file; false stops the walk.
using FileVisitor = std::function<bool(const std::string& path)>;
using ErrorVisitor = std::function<void(const std::string& directory, const FileCheck& error)>;

// Every *.pdf under the directory, in the order of their names, a
// subdirectory's where its name falls; false once stopped.
bool WalkDirectory(const std::string& directory, const FileVisitor& onFile,
                   const ErrorVisitor& onError) {
  std::vector<DirectoryEntry> entries;
  FileCheck error;
  if (!ReadDirectory(directory, entries, error)) {
    onError(directory, error);
    return true;
  }
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  for (const DirectoryEntry& entry : entries) {
    std::string path = Join(directory, entry.name);
    bool going = true;
    if (entry.isDirectory)
      going = WalkDirectory(path, onFile, onError);
    else if (EndsWithPdf(entry.name))
      going = onFile(path);
    if (!going)
      return false;
  }
  return true;
}

void WalkOperands(int count, char** paths, const FileVisitor& onFile, const ErrorVisitor& onError) {
  for (int i = 0; i < count; ++i) {
    bool going =
        IsDirectory(paths[i]) ? WalkDirectory(paths[i], onFile, onError) : onFile(paths[i]);
    if (!going)
      return;
  }
}

// Runs the command on every file of the operands, `jobs` files at once. A
// request to stop lets the files in hand finish and drops the rest.
int RunAll(const Docmark& docmark, const Command& command, int jobs, int count, char** paths) {
  FileQueue queue(4 * static_cast<size_t>(jobs));
  Reporter reporter(command, ErrorIsTerminal());
  std::atomic<bool> stopped{false};
  std::vector<std::thread> threads;
  auto joinAll = [&] {
    for (std::thread& thread : threads)
      thread.join();
  };
  try {
    StopRequests stops([&] {
      stopped = true;
      queue.Stop();
    });
    try {
      for (int i = 0; i < jobs; ++i) {
        threads.emplace_back([&] {
          for (std::string path; queue.Pop(path);)
            reporter.Report(Run(docmark, command, path), true);
        });
      }
      // The total, for the progress line, from a walk of its own that runs
      // ahead of the one that feeds the jobs.
      if (reporter.showsProgress()) {
        threads.emplace_back([&] {
          size_t total = 0;
          WalkOperands(
              count, paths, [&](const std::string&) { return ++total, !stopped; },
              [](const std::string&, const FileCheck&) {});
          if (!stopped)
            reporter.SetTotal(total);
        });
      }
    } catch (const std::system_error& e) {
      WriteText(Stream::kErr,
                "docmark_host: cannot start " + std::to_string(jobs) + " jobs: " + e.what() + "\n");
      queue.Stop();
      joinAll();
      return kCannotRun;
    }
    WalkOperands(
        count, paths, [&](const std::string& path) { return queue.Push(path); },
        [&](const std::string& directory, const FileCheck& error) {
          reporter.Report(Failed(directory, SystemReason(error)), false);
        });
    queue.Close();
    joinAll();
    std::string stop = stops.received();
    reporter.Finish(stop);
    if (!stop.empty())
      stops.EndAsRequested();
  } catch (const std::system_error& e) {
    WriteText(Stream::kErr,
              std::string("docmark_host: cannot watch for a stop: ") + e.what() + "\n");
    return kCannotRun;
  }
  return reporter.anyFailed() ? kFileFailed : kDone;
}

bool ParseNumber(const char* text, int32_t least, int32_t most, int32_t& value) {
  char* end;
  errno = 0;
  long long number = strtoll(text, &end, 10);
  if (errno || end == text || *end || number < least || number > most)
    return false;
  value = static_cast<int32_t>(number);
  return true;
}

int Usage() {
  WriteText(Stream::kErr, kUsage);
  return kCannotRun;
}

bool BadNumber(const char* option, int32_t least, int32_t most, const char* text) {
  WriteText(Stream::kErr, std::string("docmark_host: ") + option + " needs a number from " +
                              std::to_string(least) + " to " + std::to_string(most) + ", not \"" +
                              text + "\"\n");
  return false;
}

enum LongOption { kJsonOption = 256, kSkipSameOption, kHelpOption, kVersionOption };

// The options after the command word into `command` and `jobs`; false, with
// the exit code in `exitCode`, when the program is to end here.
bool ParseOptions(int argc, char* argv[], Command& command, int& jobs, int& exitCode) {
  exitCode = kCannotRun;
  bool writing = command.name == "write";
  optind = 2;
  const char* options = writing ? "j:m:a:ABCS0" : "j:0";
  // getopt_long, which takes options after the files on every target.
  const struct option longOptions[] = {{"json", no_argument, nullptr, kJsonOption},
                                       {"skip-same", no_argument, nullptr, kSkipSameOption},
                                       {"help", no_argument, nullptr, kHelpOption},
                                       {"version", no_argument, nullptr, kVersionOption},
                                       {nullptr, 0, nullptr, 0}};
  bool nul = false;
  bool json = false;
  for (int option; (option = getopt_long(argc, argv, options, longOptions, nullptr)) != -1;) {
    switch (option) {
      case 'j':
        if (!ParseNumber(optarg, 1, kMaximumJobs, jobs))
          return BadNumber("-j", 1, kMaximumJobs, optarg);
        break;
      case 'm':
        if (!ParseNumber(optarg, 0, kMaximumMode, command.settings.mode))
          return BadNumber("-m", 0, kMaximumMode, optarg);
        break;
      case 'a':
        if (!ParseNumber(optarg, 0, kMaximumAmount, command.settings.amount))
          return BadNumber("-a", 0, kMaximumAmount, optarg);
        break;
      case 'A':
        command.settings.optionA = true;
        break;
      case 'B':
        command.settings.optionB = true;
        break;
      case 'C':
        command.settings.optionC = true;
        break;
      case 'S':
        command.writerFlag = true;
        break;
      case '0':
        nul = true;
        break;
      case kJsonOption:
        json = true;
        break;
      case kSkipSameOption:
        if (!writing)
          return Usage(), false;
        command.skipSame = true;
        break;
      case kHelpOption:
        WriteText(Stream::kOut, kUsage);
        exitCode = kDone;
        return false;
      case kVersionOption:
        WriteText(Stream::kOut, kVersionText);
        exitCode = kDone;
        return false;
      default:
        return Usage(), false;
    }
  }
  if (nul && json)
    return Usage(), false;
  command.format = json ? Format::kJson : nul ? Format::kNul : Format::kPlain;
  return true;
}

}  // namespace

int HostMain(int argc, char* argv[]) {
  if (argc < 2)
    return Usage();
  std::string first = argv[1];
  if (first == "--help" || first == "-h") {
    WriteText(Stream::kOut, kUsage);
    return kDone;
  }
  if (first == "--version") {
    WriteText(Stream::kOut, kVersionText);
    return kDone;
  }
  Command command;
  command.name = first;
  int jobs = 1;
  int exitCode;
  if (!ParseOptions(argc, argv, command, jobs, exitCode))
    return exitCode;
  int count = argc - optind;
  char** paths = argv + optind;
  bool known = command.name == "check" || command.name == "read" || command.name == "write";
  if (!known || count < 1)
    return Usage();
  command.readBlock = command.name == "read" && command.format == Format::kPlain && count == 1 &&
                      !IsDirectory(paths[0]);

  Docmark docmark;
  if (!docmark.loaded()) {
    WriteText(Stream::kErr, "docmark_host: cannot load docmark: " + docmark.error() + "\n");
    return kCannotRun;
  }
  return RunAll(docmark, command, jobs, count, paths);
}
