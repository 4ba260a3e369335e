// A Windows kit's docmark.dll under Wine, through docmark_wine_probe.exe, a
// host that loads it by full path from another folder: what a write keeps
// when it is killed at any step, the names it keeps, how a host finds the PDF
// library beside the DLL, and the reason a host finds after a false.
// DOCMARK_KIT_BIN names the kit's bin folder, DOCMARK_WINE_PROBE the probe.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "pdf_maker.h"

namespace fs = std::filesystem;

namespace {

// A path as a Windows program takes it: under Wine, / is drive Z:.
std::string Native(const std::string& path) {
  std::string native = "Z:" + path;
  std::replace(native.begin(), native.end(), '/', '\\');
  return native;
}

using pdf_maker::Names;

// A Wine process of the probe's, with its input and output on pipes.
class Probe {
 public:
  explicit Probe(const std::vector<std::string>& arguments) {
    int input[2], output[2];
    if (pipe(input) != 0 || pipe(output) != 0)
      return;
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(input[0], 0);
      dup2(output[1], 1);
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 2);
      for (int fd : {input[0], input[1], output[0], output[1], null})
        close(fd);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(input[0]);
    close(output[1]);
    input_ = input[1];
    output_ = output[0];
  }
  ~Probe() {
    Kill();
    close(output_);
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  // Its next line, without the line end; empty when none comes in 30 s.
  std::string Line() {
    std::string line;
    char c;
    struct pollfd ready = {output_, POLLIN, 0};
    while (poll(&ready, 1, 30000) > 0 && read(output_, &c, 1) == 1 && c != '\n') {
      if (c != '\r')
        line += c;
    }
    return line;
  }
  // Ends its input.
  void Release() {
    if (input_ >= 0)
      close(input_);
    input_ = -1;
  }
  void Kill() {
    Release();
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }
  // True once the process has ended on its own.
  bool Ended() {
    if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_)
      pid_ = -1;
    return pid_ < 0;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
};

class DocmarkWineTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* bin = getenv("DOCMARK_KIT_BIN");
    const char* probe = getenv("DOCMARK_WINE_PROBE");
    ASSERT_TRUE(bin && probe) << "DOCMARK_KIT_BIN and DOCMARK_WINE_PROBE name the kit";
    // The library is loaded by full path from a folder of its own, as a
    // plug-in host loads it.
    fs::create_directory(Path("plugin"));
    for (const char* name : {"docmark.dll", "DL100PDFL.dll"})
      fs::copy_file(std::string(bin) + "/" + name, Path("plugin/") + name);
    probe_ = probe;
    dll_ = Native(Path("plugin/docmark.dll"));
    fs::create_directory(Path("files"));
  }

  std::string Path(const std::string& name) const { return scratch_.Path(name); }
  std::string File(const std::string& name) const { return Path("files/" + name); }
  std::vector<std::string> Command(const std::vector<std::string>& arguments) const {
    std::vector<std::string> command = {"wine", probe_};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
  }

  // The probe's line of output, without its line end.
  std::string Run(const std::vector<std::string>& arguments) {
    Probe probe(Command(arguments));
    return probe.Line();
  }
  std::string Call(const std::string& call, const std::string& path) {
    return Run({call, dll_, path});
  }

  // A file of a few megabytes, so that a write takes long enough to be
  // killed in the middle of each of its steps.
  std::string MakeLargePdf(const std::string& path) {
    pdf_maker::PdfOptions options;
    options.pages = 4;
    options.info["Filler"] = std::string(3 << 20, 'x');
    pdf_maker::WritePdf(path, options);
    return pdf_maker::ReadFile(path);
  }

  pdf_maker::ScratchDirectory scratch_;
  std::string probe_;
  std::string dll_;
};

// What a write did before it ended or was killed: the changes the folder
// saw (files made, written, renamed or removed), and the time from the first
// to the end.
struct Steps {
  int changes = 0;
  std::chrono::microseconds span{0};
};

// Runs `command`, a write, and kills it once the folder has seen `changes`
// changes, or `after` from the first; 0 for both lets it end.
Steps WriteAndKill(const std::vector<std::string>& command, const std::string& folder, int changes,
                   std::chrono::microseconds after) {
  int watch = inotify_init1(IN_CLOEXEC);
  inotify_add_watch(watch, folder.c_str(),
                    IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE);
  Probe probe(command);
  probe.Release();
  Steps steps;
  auto first = std::chrono::steady_clock::time_point::max();
  auto now = std::chrono::steady_clock::now();
  while (!probe.Ended()) {
    now = std::chrono::steady_clock::now();
    if (after.count() > 0 && now > first && now - first >= after)
      break;
    struct pollfd ready = {watch, POLLIN, 0};
    if (poll(&ready, 1, 1) <= 0)
      continue;
    char buffer[8192];
    ssize_t got = read(watch, buffer, sizeof buffer);
    for (ssize_t at = 0; at < got; ++steps.changes)
      at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(buffer + at)->len;
    first = std::min(first, std::chrono::steady_clock::now());
    if (changes > 0 && steps.changes >= changes)
      break;
  }
  probe.Kill();
  close(watch);
  if (first < now)
    steps.span = std::chrono::duration_cast<std::chrono::microseconds>(now - first);
  return steps;
}

// Killed at each change it makes in the folder, and at moments in between, a
// write leaves the file under its name after every kill, whole: the original
// or a tagged copy. The next write that is let run tags it and leaves nothing
// else beside it.
TEST_F(DocmarkWineTest, AKillAtAnyStepOfAWriteLeavesTheFileWholeUnderItsName) {
  std::string source = Path("source.pdf");
  std::string original = MakeLargePdf(source);
  std::string file = File("f.pdf");
  std::vector<std::string> command = Command({"write", dll_, Native(file)});
  fs::copy_file(source, file);
  Steps write = WriteAndKill(command, Path("files"), 0, {});
  ASSERT_GT(write.changes, 2) << "a write changes the folder in a few steps";
  ASSERT_GT(write.span.count(), 0);
  std::mt19937 random(write.changes);
  int kills = write.changes + 10;
  for (int kill = 1; kill <= kills; ++kill) {
    fs::copy_file(source, file, fs::copy_options::overwrite_existing);
    if (kill <= write.changes)
      WriteAndKill(command, Path("files"), kill, {});
    else
      WriteAndKill(command, Path("files"), 0,
                   std::chrono::microseconds(random() % write.span.count() + 1));
    ASSERT_TRUE(fs::exists(file)) << "no file after kill " << kill << " of " << kills;
    if (pdf_maker::ReadFile(file) != original) {
      EXPECT_TRUE(pdf_maker::CheckOk(file)) << "kill " << kill;
      EXPECT_NE(std::string::npos, pdf_maker::MetadataXml(file).find("vtrlTag")) << "kill " << kill;
    }
  }
  EXPECT_EQ("true", Call("write", Native(file)));
  EXPECT_EQ(std::vector<std::string>{"f.pdf"}, Names(Path("files")));
}

// A file written through its 8.3 name, or through a `\\?\` path that ends in
// a dot, is the file the name means, and keeps its own name.
TEST_F(DocmarkWineTest, AFileKeepsTheNameItHad) {
  std::string longName = File("A Long File Name Report.pdf");
  pdf_maker::WritePdf(longName, {});
  std::string shortName = Run({"short", Native(longName)});
  ASSERT_NE(Native(longName), shortName) << "Wine gives the file an 8.3 name";
  EXPECT_EQ("true", Call("write", shortName));
  EXPECT_EQ(std::vector<std::string>{"A Long File Name Report.pdf"}, Names(Path("files")));
  EXPECT_EQ("true", Call("check", Native(longName)));

  fs::remove(longName);
  std::string twin = File("twin.pdf");
  pdf_maker::WritePdf(twin, {});
  fs::copy_file(twin, File("twin.pdf."));
  std::string untouched = pdf_maker::ReadFile(twin);
  EXPECT_EQ("true", Call("write", "\\\\?\\" + Native(File("twin.pdf."))));
  EXPECT_EQ(untouched, pdf_maker::ReadFile(twin));
  EXPECT_EQ("true", Call("check", "\\\\?\\" + Native(File("twin.pdf."))));
  EXPECT_EQ((std::vector<std::string>{"twin.pdf", "twin.pdf."}), Names(Path("files")));
}

// docmark.dll imports the PDF library at load time. A host that loads it by
// full path from another folder has the loader look in that folder too, in
// one of the documented ways; then a write works from there.
TEST_F(DocmarkWineTest, ALibraryInAnotherFolderFindsThePdfLibraryBesideIt) {
  std::string expected = "from " + Native(Path("plugin/DL100PDFL.dll"));
  for (const char* way : {"altered", "dlldir", "setdlldir", "adddlldir"})
    EXPECT_EQ(expected, Run({"load", way, dll_})) << way;
  std::string file = File("a.pdf");
  pdf_maker::WritePdf(file, {});
  EXPECT_EQ("true", Call("write", Native(file)));
}

// After a false, the thread's last error holds the system's reason: not
// found, path not found, access denied, a sharing violation; 0 where no
// system call failed (not a PDF, no tag).
TEST_F(DocmarkWineTest, AfterAFalseTheLastErrorIsTheSystemsReason) {
  std::string file = File("a.pdf");
  pdf_maker::WritePdf(file, {});
  std::string readOnly = File("read-only.pdf");
  pdf_maker::WritePdf(readOnly, {});
  ASSERT_EQ(0, chmod(readOnly.c_str(), 0444));
  std::string text = File("text.pdf");
  FILE* out = fopen(text.c_str(), "w");
  fputs("not a PDF\n", out);
  fclose(out);

  EXPECT_EQ("false 2", Call("read", Native(File("missing.pdf"))));
  EXPECT_EQ("false 2", Call("write", Native(File("missing.pdf"))));
  EXPECT_EQ("false 3", Call("check", Native(Path("no folder/a.pdf"))));
  EXPECT_EQ("false 5", Call("write", Native(readOnly)));
  EXPECT_EQ("false 0", Call("write", Native(text)));
  EXPECT_EQ("false 0", Call("read", Native(file)));
  // A program that holds the file open and shares nothing.
  Probe holder(Command({"hold", Native(file), "-"}));
  ASSERT_EQ("held", holder.Line());
  EXPECT_EQ("false 32", Call("check", Native(file)));
  EXPECT_EQ("false 32", Call("write", Native(file)));
}

// A full disk, on a tmpfs of its own: the write fails with the system's
// reason and leaves the file as it was.
TEST_F(DocmarkWineTest, AFullDiskReadsAsAFullDisk) {
  std::string disk = Path("disk");
  fs::create_directory(disk);
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=4m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here (needs root): " << std::strerror(errno);
  std::string file = disk + "/a.pdf";
  std::string original = MakeLargePdf(file);
  EXPECT_EQ("false 112", Call("write", Native(file)));
  EXPECT_EQ(original, pdf_maker::ReadFile(file));
  umount(disk.c_str());
}

// An earlier kit's replace could lose the name between its two renames and
// leave the tagged copy only beside it, under the staging name of a process
// that has ended: the next call puts it back. A copy of a write that did not
// get to its end (its tag does not hold its own size) is left alone.
TEST_F(DocmarkWineTest, TheNextCallPutsBackWhatALostReplaceLeft) {
  std::string made = File("made.pdf");
  pdf_maker::WritePdf(made, {});
  ASSERT_EQ("true", Call("write", Native(made)));
  std::string tagged = pdf_maker::ReadFile(made);
  fs::rename(made, File(".f.pdf.4000000-0.docmark-tmp"));
  EXPECT_EQ("true", Call("check", Native(File("f.pdf"))));
  EXPECT_EQ(tagged, pdf_maker::ReadFile(File("f.pdf")));
  EXPECT_EQ(std::vector<std::string>{"f.pdf"}, Names(Path("files")));

  // A copy whose tag does not hold its own size, as the first pass's does not.
  std::string half = File(".g.pdf.4000000-0.docmark-tmp");
  fs::copy_file(File("f.pdf"), half);
  FILE* out = fopen(half.c_str(), "ab");
  fputs("% grown\n", out);
  fclose(out);
  EXPECT_EQ("false 2", Call("check", Native(File("g.pdf"))));
  EXPECT_FALSE(fs::exists(File("g.pdf")));
}

// Wine's first start in a fresh prefix sets the prefix up and talks about it.
class WineStart : public testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(0, system("wineboot -i >/dev/null 2>&1")); }
};
const auto* const wineStart = testing::AddGlobalTestEnvironment(new WineStart);

}  // namespace
