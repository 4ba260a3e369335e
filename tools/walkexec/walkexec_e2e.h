// walkexec end to end: the real binary on real trees in a temporary
// directory. WALKEXEC names the binary; with WALKEXEC_WINE set it is
// walkexec.exe, run under Wine, where cmd.exe runs the commands.
#ifndef WALKEXEC_WALKEXEC_E2E_H
#define WALKEXEC_WALKEXEC_E2E_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace e2e {

inline bool underWine() {
  return getenv("WALKEXEC_WINE") != nullptr;
}

inline std::string binary() {
  const char* path = getenv("WALKEXEC");
  return path ? path : "";
}

// Text as the binary writes it: Windows' text mode ends lines with CR LF.
inline std::string lines(std::string text) {
  if (!underWine())
    return text;
  std::string converted;
  for (char c : text)
    converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return converted;
}

// The program name that the binary sees as its first argument.
inline std::string programName() {
  if (!underWine())
    return binary();
  std::string name = "Z:" + binary();
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

inline std::string usage() {
  const std::string name = programName();
  return lines(
      "\n"
      "Usage: " +
      name +
      " [-p pattern[,pattern...]] [-c \"command\"] [-e \"errlog\"] [-l \"joblog\" [-r]] [-j jobs "
      "[-k]] [-s K/N] [-L] [-f] path[ path...]\n"
      "\n"
      "Executes a command on a set of files.\n"
      "\n"
      "Options:\n"
      "    -p pattern[,pattern...]  Searches files according to one or more patterns.\n"
      "                             The default pattern is '*' (matching all files).\n"
      "\n"
      "    -c \"command\"             Indicates the command to execute for each file.\n"
      "                             Command strings should be wrapped in double quotes.\n"
      "                             The default command is \"echo @path\". Any instances\n"
      "                             of \"@path\" in the command string will be replaced\n"
      "                             by the full path to the file, wrapped in double\n"
      "                             quotes.\n"
      "\n"
      "    -e \"errlog\"              If the command fails (i.e. returns a non-zero exit\n"
      "                             code), a line showing the full path where the failure\n"
      "                             occurred and the exit code is appended to the file\n"
      "                             specified by \"errlog\"\n"
      "\n"
      "    -l \"joblog\"              As each command ends, a line showing the full path\n"
      "                             and the exit code is appended to the file specified\n"
      "                             by \"joblog\", in the form of \"errlog\".\n"
      "\n"
      "    -r                       With -l, runs only the files that \"joblog\" does not\n"
      "                             show with exit code 0, so that a run cut short\n"
      "                             resumes where it stopped.\n"
      "\n"
      "    -j jobs                  Runs up to that many commands at once (1 to 256;\n"
      "                             the default is 1). With more than one, commands\n"
      "                             get no input, and the output of each is written\n"
      "                             whole when it ends.\n"
      "\n"
      "    -k                       With -j, writes the output of the commands in the\n"
      "                             order they started, not the order they end.\n"
      "\n"
      "    -s K/N                   Runs shard K (0 to N-1) of N: the files whose path\n"
      "                             relative to its start path hashes to K, so that\n"
      "                             N runs over the same paths share the files out.\n"
      "                             \"-s slurm\" takes K and N from a Slurm job array.\n"
      "\n"
      "    -L                       Enters links to directories and junctions, which\n"
      "                             are passed over otherwise.\n"
      "\n"
      "    -f                       Exits with status 1 if any command failed (i.e.\n"
      "                             returned a non-zero exit code).\n"
      "\n"
      "    path[ path...]           Indicates the path(s) to start searching from. The\n"
      "                             paths are searched recursively in the order they\n"
      "                             are specified.\n"
      "\n"
      "Examples:\n"
      "    " +
      name +
      " -p *.txt -c \"notepad @path\" C:\\\n"
      "    (finds all text files on the C: drive and opens them in Notepad)\n"
      "\n");
}

// ASCII text as UTF-16LE bytes.
inline std::string utf16le(const std::string& text) {
  std::string bytes;
  for (char c : text)
    bytes += std::string{c, '\0'};
  return bytes;
}

struct Outcome {
  int status = -1;  // -1 when a signal ended it.
  int signal = 0;
  std::string out;
  std::string err;
};

struct Progress {
  std::vector<char> spinner;
  std::vector<unsigned long> counts;
  std::string rest;  // Whatever stderr held besides progress lines.
};

inline Progress parseProgress(const std::string& err) {
  static const std::regex line(R"(([|/\-\\]) Processed (\d+) files so far\r)");
  Progress progress;
  auto end = std::sregex_iterator();
  size_t last = 0;
  for (auto it = std::sregex_iterator(err.begin(), err.end(), line); it != end; ++it) {
    progress.rest += err.substr(last, it->position() - last);
    progress.spinner.push_back((*it)[1].str()[0]);
    progress.counts.push_back(std::stoul((*it)[2].str()));
    last = it->position() + it->length();
  }
  progress.rest += err.substr(last);
  return progress;
}

class Walkexec : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(binary().empty()) << "WALKEXEC names no binary";
    char dir[] = "/tmp/walkexec_e2e_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }

  void TearDown() override {
    if (!mounted_.empty())
      umount(mounted_.c_str());
    std::string command = "chmod -R u+rwx '" + dir_ + "'; rm -rf '" + dir_ + "'";
    ASSERT_EQ(system(command.c_str()), 0);
  }

  std::string at(const std::string& relative) const { return dir_ + "/" + relative; }

  // Mounts a 4 KB tmpfs on the new directory `full` until the test ends;
  // why it cannot, or nothing.
  std::string mountFullDisk() {
    if (geteuid() != 0)
      return "mounting a small tmpfs needs root";
    if (mkdir(at("full").c_str(), 0755) != 0)
      return strerror(errno);
    if (mount("walkexec_test", at("full").c_str(), "tmpfs", 0, "size=4k") != 0)
      return std::string("cannot mount a tmpfs: ") + strerror(errno);
    mounted_ = at("full");
    return "";
  }

  // Creates a file and its missing parent directories.
  void write(const std::string& relative, const std::string& content = "x") {
    for (size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1))
      mkdir(at(relative.substr(0, slash)).c_str(), 0755);
    std::ofstream(at(relative), std::ios::binary) << content;
  }

  bool exists(const std::string& relative) const { return access(at(relative).c_str(), F_OK) == 0; }

  std::string read(const std::string& relative) const {
    std::ifstream in(at(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Starts a program in the temporary directory, in a process group of its
  // own, with the signal dispositions a shell would give it (a test runner
  // may start us with some ignored), no core dumps, and stdout and stderr in
  // files; with `closedErr` stderr, with `closedOut` stdout, is a pipe whose
  // reader has gone.
  pid_t spawn(std::vector<std::string> words, bool closedErr = false, bool closedOut = false) {
    std::vector<char*> argv;
    for (std::string& word : words)
      argv.push_back(&word[0]);
    argv.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if ((closedErr || closedOut) && pipe(pipeFds) != 0)
      return -1;
    pid_t child = fork();
    if (child == 0) {
      setpgid(0, 0);
      for (int signo : {SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGCHLD})
        signal(signo, SIG_DFL);
      struct rlimit noCore = {0, 0};
      setrlimit(RLIMIT_CORE, &noCore);
      if (chdir(dir_.c_str()) != 0)
        _exit(126);
      int in = open("/dev/null", O_RDONLY);
      int out = closedOut ? pipeFds[1] : open(".out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int err = closedErr ? pipeFds[1] : open(".err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(in, 0);
      dup2(out, 1);
      dup2(err, 2);
      if (pipeFds[0] >= 0)
        close(pipeFds[0]);  // The reader is gone: nobody holds its end.
      execvp(argv[0], argv.data());
      _exit(127);
    }
    // Here too, so that the group exists before anyone signals it.
    setpgid(child, child);
    if (closedErr || closedOut) {
      close(pipeFds[0]);
      close(pipeFds[1]);
    }
    return child;
  }

  // Starts the binary with exactly these arguments.
  pid_t start(const std::vector<std::string>& arguments, bool closedErr = false,
              bool closedOut = false) {
    std::vector<std::string> words;
    if (underWine())
      words.push_back("wine");
    words.push_back(binary());
    words.insert(words.end(), arguments.begin(), arguments.end());
    return spawn(words, closedErr, closedOut);
  }

  Outcome finish(pid_t child) {
    Outcome result;
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.out = read(".out");
    result.err = read(".err");
    return result;
  }

  Outcome run(const std::vector<std::string>& arguments) { return finish(start(arguments)); }

  // Runs the binary after the shell commands `limits` (dash's, which exit
  // 125 when they fail), as a user of its own
  // when we are root (whom permissions and the process limit do not bind),
  // with only the standard descriptors, whatever the test runner left open.
  Outcome runLimited(const std::string& limits, const std::vector<std::string>& arguments) {
    std::vector<std::string> words;
    if (geteuid() == 0) {
      chmod(dir_.c_str(), 0777);
      // Of its own: no other test's processes count against its limit.
      const std::string id = std::to_string(200000 + getpid());
      words = {"setpriv", "--reuid=" + id, "--regid=" + id, "--clear-groups"};
    }
    words.insert(words.end(), {"/bin/sh", "-c",
                               "exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; " + limits +
                                   " || exit 125; exec \"$0\" \"$@\"",
                               binary()});
    words.insert(words.end(), arguments.begin(), arguments.end());
    return finish(spawn(words));
  }

  // Waits, for at most ten seconds, until `count` commands have recorded
  // their path.
  bool waitForCalls(size_t count) const {
    for (int i = 0; i < 1000 && calls().size() < count; ++i)
      usleep(10000);
    return calls().size() >= count;
  }

  // An executable script in the temporary directory.
  void script(const std::string& name, const std::string& body) {
    write(name, body);
    chmod(at(name).c_str(), 0755);
  }

  // A path relative to the temporary directory, with the binary's separator.
  static std::string native(std::string path) {
    if (underWine())
      std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  }

  // A command that records its file's path in "calls", and what it adds
  // after it has recorded.
  static std::string record(const std::string& then = "") {
    if (underWine())
      return "echo @path>>calls" + (then.empty() ? "" : "& " + then);
    return "printf '%s\\000' @path >>calls" + (then.empty() ? "" : "; " + then);
  }

  // The paths recorded, in the order the commands ran.
  std::vector<std::string> calls() const {
    std::string text = read("calls");
    std::vector<std::string> paths;
    const std::string end = underWine() ? "\r\n" : std::string(1, '\0');
    for (size_t at = 0, next; (next = text.find(end, at)) != std::string::npos;
         at = next + end.size()) {
      std::string path = text.substr(at, next - at);
      if (underWine() && path.size() >= 2 && path.front() == '"' && path.back() == '"')
        path = path.substr(1, path.size() - 2);
      paths.push_back(path);
    }
    return paths;
  }

  // The calls in name order, for runs whose order is not the point.
  std::vector<std::string> sortedCalls() const {
    std::vector<std::string> paths = calls();
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  // What the default command prints for one path.
  static std::string echoed(const std::string& path) {
    return underWine() ? "\"" + native(path) + "\"\r\n" : path + "\n";
  }

  // a.txt and b.dat at the top, c.txt in a subdirectory.
  void writeSmallTree() {
    write("tree/a.txt");
    write("tree/b.dat");
    write("tree/sub/c.txt");
  }

  std::string dir_;
  std::string mounted_;  // a tmpfs to unmount
};

}  // namespace e2e

#endif
