// docmark_host: a sample host program for docmark. It loads the library at
// run time, as a host does, binds its three functions by name, and checks,
// reads or writes the optimisation tag of the PDF files on its command line
// and under the directories there, several at once in one process with -j.
#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "docmark/docmark.h"
#include "host_platform.h"

namespace {

const char kUsage[] =
    "usage: docmark_host check [-j jobs] PATH...\n"
    "       docmark_host read [-j jobs] PATH...\n"
    "       docmark_host write [-j jobs] [-m mode] [-a amount] [-A] [-B] [-C] [-S] PATH...\n"
    "\n"
    "Each PATH is a file, or a directory whose files named *.pdf (in any case) are\n"
    "taken, in every directory below it.\n"
    "check  tells for each file whether it carries a valid tag; exit 0 when all do\n"
    "read   prints the tag of each file\n"
    "write  tags each file with these settings (all 0 unless given):\n"
    "         -m mode     (the tag keeps the low 4 bits)\n"
    "         -a amount   (the tag keeps the low 16 bits)\n"
    "         -A, -B, -C  set option A, B or C\n"
    "         -S          set the writer flag\n"
    "-j jobs  works on that many files at once (1 to 256; default 1)\n";

// Exit codes: every file done, some file failed, the command itself failed.
const int kDone = 0;
const int kFileFailed = 1;
const int kCannotRun = 2;

const int kMaximumJobs = 256;

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

// What the command line asks for each file.
struct Command {
  std::string name;  // check, read or write
  PDFSettingsInfo settings = {};
  bool writerFlag = false;
  bool readBlock = false;  // read of one file named alone: one line per field
};

// One file's result: its lines for standard output and standard error.
struct Outcome {
  bool ok = true;
  std::string out;
  std::string err;
};

Outcome Failed(const std::string& path, const std::string& reason) {
  return {false, "", "docmark_host: " + path + ": " + reason + "\n"};
}

Outcome Check(const Docmark& docmark, const std::string& path) {
  bool tagged = docmark.isAlreadyOptimized(LibraryPath(path.c_str()).c_str());
  return {tagged, path + (tagged ? ": tagged\n" : ": not tagged\n"), ""};
}

Outcome Read(const Docmark& docmark, const Command& command, const std::string& path) {
  PDFSettingsInfo s = {};
  PDFVersionInfo v = {};
  int64_t size = 0;
  if (!docmark.read(LibraryPath(path.c_str()).c_str(), &s, &size, &v))
    return Failed(path, "no valid tag, or not a PDF that can be read");
  char text[512];
  const char* format =
      command.readBlock
          ? "version: %d.%d.%d\nwriter flag: %d\nmode: %d\namount: %d\noption A: %d\n"
            "option B: %d\noption C: %d\nstored size: %lld\n"
          : "version %d.%d.%d, writer flag %d, mode %d, amount %d, option A %d, option B %d, "
            "option C %d, stored size %lld\n";
  snprintf(text, sizeof text, format, v.major, v.minor, v.build, v.writerFlag, s.mode, s.amount,
           s.optionA, s.optionB, s.optionC, static_cast<long long>(size));
  return {true, command.readBlock ? text : path + ": " + text, ""};
}

Outcome Write(const Docmark& docmark, const Command& command, const std::string& path) {
  if (!docmark.write(LibraryPath(path.c_str()).c_str(), command.settings, command.writerFlag)) {
    return Failed(path,
                  "the tag could not be written (not a PDF that can be read, or one that may "
                  "not be changed)");
  }
  return {true, path + ": tagged\n", ""};
}

// The library answers only true or false; a file that is missing or cannot
// be read is told apart here.
Outcome Run(const Docmark& docmark, const Command& command, const std::string& path) {
  std::string error = FileError(path.c_str());
  if (!error.empty())
    return Failed(path, error);
  if (command.name == "check")
    return Check(docmark, path);
  if (command.name == "read")
    return Read(docmark, command, path);
  return Write(docmark, command, path);
}

// The paths from the walk to the jobs. The walk waits while the queue is
// full, so that memory stays flat however many files a tree holds.
class FileQueue {
 public:
  explicit FileQueue(size_t capacity) : capacity_(capacity) {}

  void Push(std::string path) {
    std::unique_lock<std::mutex> hold(lock_);
    notFull_.wait(hold, [&] { return paths_.size() < capacity_; });
    paths_.push_back(std::move(path));
    notEmpty_.notify_one();
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

 private:
  const size_t capacity_;
  std::mutex lock_;
  std::condition_variable notFull_;
  std::condition_variable notEmpty_;
  std::deque<std::string> paths_;
  bool closed_ = false;
};

// Writes each result whole, and on a terminal keeps a progress line on
// standard error below them.
class Reporter {
 public:
  explicit Reporter(bool progress)
      : progress_(progress), start_(std::chrono::steady_clock::now()) {}

  void Report(const Outcome& outcome, bool isFile) {
    std::lock_guard<std::mutex> hold(lock_);
    EraseProgress();
    if (!outcome.out.empty()) {
      fputs(outcome.out.c_str(), stdout);
      // The progress line goes below what is on the terminal by now.
      if (progress_)
        fflush(stdout);
    }
    if (!outcome.err.empty())
      fputs(outcome.err.c_str(), stderr);
    files_ += isFile;
    failures_ += !outcome.ok;
    ShowProgress();
  }

  // Ends the progress line.
  void Finish() {
    std::lock_guard<std::mutex> hold(lock_);
    if (progress_ && shown_ > 0)
      fputs("\n", stderr);
  }

  bool anyFailed() {
    std::lock_guard<std::mutex> hold(lock_);
    return failures_ > 0;
  }

 private:
  void EraseProgress() {
    if (shown_ > 0)
      fprintf(stderr, "\r%*s\r", static_cast<int>(shown_), "");
    shown_ = 0;
  }

  void ShowProgress() {
    if (!progress_)
      return;
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
    double rate = elapsed.count() > 0 ? files_ / elapsed.count() : 0;
    int length = fprintf(stderr, "%zu files, %zu failed, %.1f files/s", files_, failures_, rate);
    fflush(stderr);
    shown_ = length > 0 ? length : 0;
  }

  const bool progress_;
  const std::chrono::steady_clock::time_point start_;
  std::mutex lock_;
  size_t files_ = 0;
  size_t failures_ = 0;
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

// Every *.pdf under the directory, in the order of their names, a
// subdirectory's where its name falls.
void WalkDirectory(const std::string& directory, FileQueue& queue, Reporter& reporter) {
  std::vector<DirectoryEntry> entries;
  std::string error;
  if (!ReadDirectory(directory, entries, error)) {
    reporter.Report(Failed(directory, error), false);
    return;
  }
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  for (const DirectoryEntry& entry : entries) {
    if (entry.isDirectory)
      WalkDirectory(Join(directory, entry.name), queue, reporter);
    else if (EndsWithPdf(entry.name))
      queue.Push(Join(directory, entry.name));
  }
}

// Runs the command on every file of the operands, `jobs` files at once.
int RunAll(const Docmark& docmark, const Command& command, int jobs, int count, char** paths) {
  FileQueue queue(4 * static_cast<size_t>(jobs));
  Reporter reporter(ErrorIsTerminal());
  std::vector<std::thread> workers;
  try {
    for (int i = 0; i < jobs; ++i) {
      workers.emplace_back([&] {
        for (std::string path; queue.Pop(path);)
          reporter.Report(Run(docmark, command, path), true);
      });
    }
  } catch (const std::system_error& e) {
    fprintf(stderr, "docmark_host: cannot start %d jobs: %s\n", jobs, e.what());
    queue.Close();
    for (std::thread& worker : workers)
      worker.join();
    return kCannotRun;
  }
  for (int i = 0; i < count; ++i) {
    if (IsDirectory(paths[i]))
      WalkDirectory(paths[i], queue, reporter);
    else
      queue.Push(paths[i]);
  }
  queue.Close();
  for (std::thread& worker : workers)
    worker.join();
  reporter.Finish();
  return reporter.anyFailed() ? kFileFailed : kDone;
}

bool ParseInt32(const char* text, int32_t& value) {
  char* end;
  errno = 0;
  long long number = strtoll(text, &end, 10);
  if (errno || end == text || *end || number < INT32_MIN || number > INT32_MAX)
    return false;
  value = static_cast<int32_t>(number);
  return true;
}

int Usage() {
  fputs(kUsage, stderr);
  return kCannotRun;
}

}  // namespace

int HostMain(int argc, char* argv[]) {
  if (argc < 2)
    return Usage();
  Command command;
  command.name = argv[1];
  int jobs = 1;

  // Options follow the command word.
  optind = 2;
  const char* options = command.name == "write" ? "j:m:a:ABCS" : "j:";
  // getopt_long, which takes options after the files on every target.
  const struct option noLongOptions[] = {{nullptr, 0, nullptr, 0}};
  for (int option; (option = getopt_long(argc, argv, options, noLongOptions, nullptr)) != -1;) {
    switch (option) {
      case 'j':
        if (!ParseInt32(optarg, jobs) || jobs < 1 || jobs > kMaximumJobs) {
          fprintf(stderr, "docmark_host: -j needs a number from 1 to %d, not \"%s\"\n",
                  kMaximumJobs, optarg);
          return kCannotRun;
        }
        break;
      case 'm':
      case 'a':
        if (!ParseInt32(optarg, option == 'm' ? command.settings.mode : command.settings.amount)) {
          fprintf(stderr, "docmark_host: -%c needs a 32-bit integer, not \"%s\"\n", option, optarg);
          return kCannotRun;
        }
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
      default:
        return Usage();
    }
  }
  int count = argc - optind;
  char** paths = argv + optind;
  bool known = command.name == "check" || command.name == "read" || command.name == "write";
  if (!known || count < 1)
    return Usage();
  command.readBlock = command.name == "read" && count == 1 && !IsDirectory(paths[0]);

  Docmark docmark;
  if (!docmark.loaded()) {
    fprintf(stderr, "docmark_host: cannot load docmark: %s\n", docmark.error().c_str());
    return kCannotRun;
  }
  return RunAll(docmark, command, jobs, count, paths);
}
