// docmark_host: a sample host program for docmark. It loads the library at
// run time, as a host does, binds its three functions by name, and checks,
// reads or writes the optimisation tag of the PDF files on its command line.
#include <getopt.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "docmark/docmark.h"
#include "host_platform.h"

namespace {

const char kUsage[] =
    "usage: docmark_host check FILE...\n"
    "       docmark_host read FILE\n"
    "       docmark_host write [-m mode] [-a amount] [-A] [-B] [-C] [-S] FILE...\n"
    "\n"
    "check  tells for each file whether it carries a valid tag; exit 0 when all do\n"
    "read   prints the tag of one file\n"
    "write  tags each file with these settings (all 0 unless given):\n"
    "         -m mode     (the tag keeps the low 4 bits)\n"
    "         -a amount   (the tag keeps the low 16 bits)\n"
    "         -A, -B, -C  set option A, B or C\n"
    "         -S          set the writer flag\n";

// Exit codes: every file done, some file failed, the command itself failed.
const int kDone = 0;
const int kFileFailed = 1;
const int kCannotRun = 2;

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

// The library answers only true or false; a missing file is told apart here.
bool Exists(const char* path) {
  int error = FileError(path);
  if (error == 0)
    return true;
  fprintf(stderr, "docmark_host: %s: %s\n", path, strerror(error));
  return false;
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

int Check(Docmark& docmark, int count, char** files) {
  int result = kDone;
  for (int i = 0; i < count; ++i) {
    if (!Exists(files[i])) {
      result = kFileFailed;
      continue;
    }
    bool tagged = docmark.isAlreadyOptimized(LibraryPath(files[i]).c_str());
    printf("%s: %s\n", files[i], tagged ? "tagged" : "not tagged");
    if (!tagged)
      result = kFileFailed;
  }
  return result;
}

int Read(Docmark& docmark, const char* file) {
  if (!Exists(file))
    return kFileFailed;
  PDFSettingsInfo settings = {};
  PDFVersionInfo version = {};
  int64_t fileSize = 0;
  if (!docmark.read(LibraryPath(file).c_str(), &settings, &fileSize, &version)) {
    fprintf(stderr, "docmark_host: %s: no valid tag, or not a PDF that can be read\n", file);
    return kFileFailed;
  }
  printf("version: %d.%d.%d\n", version.major, version.minor, version.build);
  printf("writer flag: %d\n", version.writerFlag);
  printf("mode: %d\n", settings.mode);
  printf("amount: %d\n", settings.amount);
  printf("option A: %d\n", settings.optionA);
  printf("option B: %d\n", settings.optionB);
  printf("option C: %d\n", settings.optionC);
  printf("stored size: %lld\n", static_cast<long long>(fileSize));
  return kDone;
}

int Write(Docmark& docmark, const PDFSettingsInfo& settings, bool writerFlag, int count,
          char** files) {
  int result = kDone;
  for (int i = 0; i < count; ++i) {
    if (!Exists(files[i])) {
      result = kFileFailed;
    } else if (docmark.write(LibraryPath(files[i]).c_str(), settings, writerFlag)) {
      printf("%s: tagged\n", files[i]);
    } else {
      fprintf(stderr,
              "docmark_host: %s: the tag could not be written (not a PDF that can be read, "
              "or one that may not be changed)\n",
              files[i]);
      result = kFileFailed;
    }
  }
  return result;
}

int Usage() {
  fputs(kUsage, stderr);
  return kCannotRun;
}

}  // namespace

int HostMain(int argc, char* argv[]) {
  if (argc < 2)
    return Usage();
  std::string command = argv[1];
  PDFSettingsInfo settings = {};
  bool writerFlag = false;

  // Options follow the command word.
  optind = 2;
  const char* options = command == "write" ? "m:a:ABCS" : "";
  // getopt_long, which takes options after the files on every target.
  const struct option noLongOptions[] = {{nullptr, 0, nullptr, 0}};
  for (int option; (option = getopt_long(argc, argv, options, noLongOptions, nullptr)) != -1;) {
    switch (option) {
      case 'm':
      case 'a':
        if (!ParseInt32(optarg, option == 'm' ? settings.mode : settings.amount)) {
          fprintf(stderr, "docmark_host: -%c needs a 32-bit integer, not \"%s\"\n", option,
                  optarg);
          return kCannotRun;
        }
        break;
      case 'A': settings.optionA = true; break;
      case 'B': settings.optionB = true; break;
      case 'C': settings.optionC = true; break;
      case 'S': writerFlag = true; break;
      default: return Usage();
    }
  }
  int count = argc - optind;
  char** files = argv + optind;
  bool known = command == "check" || command == "write" || (command == "read" && count == 1);
  if (!known || count < 1)
    return Usage();

  Docmark docmark;
  if (!docmark.loaded()) {
    fprintf(stderr, "docmark_host: cannot load docmark: %s\n", docmark.error().c_str());
    return kCannotRun;
  }
  if (command == "check")
    return Check(docmark, count, files);
  if (command == "read")
    return Read(docmark, files[0]);
  return Write(docmark, settings, writerFlag, count, files);
}
