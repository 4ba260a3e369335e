// walkexec end to end with several commands at once (-j, -k) and with a
// shard of the files (-s).
#include <dirent.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <random>
#include <set>

#include "walkexec_e2e.h"

namespace {

using namespace e2e;

// The documented shard hash, written out again: FNV-1a over the UTF-16LE
// bytes of an ASCII path relative to its start path, with '/' separators.
uint32_t shardHash(const std::string& relative) {
  uint32_t hash = 2166136261u;
  for (char c : utf16le(relative)) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

// The lines of `text`, without their ends.
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> result;
  std::string end = lines("\n");
  for (size_t at = 0, next; (next = text.find(end, at)) != std::string::npos;
       at = next + end.size())
    result.push_back(text.substr(at, next - at));
  return result;
}

class WalkexecJobs : public Walkexec {
 protected:
  // Waits until no live process of the group that `leader` started is left.
  // Zombies do not count: an orphan's wait for a slow reaper is no command.
  static void waitForGroup(pid_t leader) {
    for (int i = 0; i < 1000 && liveInGroup(leader); ++i)
      usleep(5000);
  }

  // A process may end while it is looked at: its stat then reads short or
  // fails, and it counts as gone.
  static bool liveInGroup(pid_t group) {
    DIR* proc = opendir("/proc");
    bool found = false;
    while (struct dirent* entry = proc ? readdir(proc) : nullptr) {
      if (!isdigit(static_cast<unsigned char>(entry->d_name[0])))
        continue;
      int fd = open((std::string("/proc/") + entry->d_name + "/stat").c_str(), O_RDONLY);
      if (fd < 0)
        continue;
      char buffer[1024];
      ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
      close(fd);
      if (n <= 0)
        continue;
      std::string stat(buffer, static_cast<size_t>(n));
      size_t end = stat.rfind(')');
      if (end == std::string::npos)
        continue;
      char state = 0;
      long parent = 0, processGroup = 0;
      if (sscanf(stat.c_str() + end + 1, " %c %ld %ld", &state, &parent, &processGroup) == 3 &&
          processGroup == group && state != 'Z')
        found = true;
    }
    if (proc)
      closedir(proc);
    return found;
  }
};

// So do options that do not go together: two logs in one file, whose
// failure lines could forge the job log's, and a command with both
// placeholders.
TEST_F(WalkexecJobs, BadJobCountsAndShardsPrintUsageAndExitWithMinusOne) {
  writeSmallTree();
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"-j", "0"},
                                             {"-j", "-3"},
                                             {"-j", "x"},
                                             {"-j", "2x"},
                                             {"-j", "257"},
                                             {"-j", "100000"},
                                             {"-j", ""},
                                             {"-s", "3/3"},
                                             {"-s", "1/0"},
                                             {"-s", "1"},
                                             {"-s", "-1/2"},
                                             {"-s", "a/b"},
                                             {"-s", "slurm"},
                                             {"-e", "same.log", "-l", "same.log"},
                                             {"-e", "same.log", "-l", native("./same.log")},
                                             {"-c", "echo @path @paths"}}) {
    std::vector<std::string> words = arguments;
    words.push_back("tree");
    Outcome r = run(words);
    const std::string shown = arguments[0] + " " + arguments[1];
    EXPECT_EQ(r.status, 255) << shown;
    EXPECT_EQ(r.out, "") << shown;
    ASSERT_GT(r.err.size(), usage().size()) << shown;
    // One line of reason, then the usage text.
    std::string reason = r.err.substr(0, r.err.size() - usage().size());
    EXPECT_EQ(r.err.substr(reason.size()), usage()) << shown;
    EXPECT_EQ(reason.find(lines("\n")), reason.size() - lines("\n").size()) << reason;
  }
}

// Each command writes many small lines to both streams at once; each
// command's lines come out together, on their own stream, and with -k in
// the order of a run of one command at a time. Output far beyond what is
// held in memory comes out whole.
TEST_F(WalkexecJobs, EachCommandsOutputIsWrittenWholeOnItsOwnStream) {
  const int files = 6;
  const int kLines = 2000;  // Of 100 bytes: more than is held in memory.
  const std::string kPadding(80, '.');
  for (int i = 0; i < files; ++i) {
    std::string content;
    for (int line = 0; line < kLines; ++line)
      content += lines("f" + std::to_string(i) + " line " + std::to_string(line) + kPadding + "\n");
    write("tree/d" + std::to_string(i % 2) + "/f" + std::to_string(i), content);
  }
  // The file whole on stdout, then its lines again, one by one on both
  // streams at once.
  script("chatter", "#!/bin/sh\ncat \"$1\"\nn=${1##*/f} i=0\nwhile [ $i -lt " +
                        std::to_string(kLines) + " ]; do\n  echo \"f$n line $i" + kPadding +
                        "\"\n  echo \"f$n line $i" + kPadding + "\" >&2\n  i=$((i + 1))\ndone\n");
  const std::string command = underWine() ? "type @path & type @path 1>&2" : "./chatter @path";
  const size_t copies = underWine() ? 1 : 2;

  // The files whose commands' outputs make up `text`, in order: each one
  // whole, its file's lines `each` times over.
  auto blocks = [&](const std::string& text, size_t each) {
    std::vector<int> order;
    std::vector<std::string> all = splitLines(text);
    for (size_t at = 0; at < all.size(); at += kLines * each) {
      std::string first = all[at];
      int file = std::stoi(first.substr(1, first.find(' ') - 1));
      for (size_t n = 0; n < kLines * each; ++n) {
        std::string expected =
            "f" + std::to_string(file) + " line " + std::to_string(n % kLines) + kPadding;
        if (at + n >= all.size() || all[at + n] != expected) {
          ADD_FAILURE() << "line " << at + n << " is not " << expected;
          return order;
        }
      }
      order.push_back(file);
    }
    return order;
  };

  Outcome one = run({"-c", command, "tree"});
  std::vector<int> walkOrder = blocks(one.out, copies);
  ASSERT_EQ(walkOrder.size(), static_cast<size_t>(files));

  for (bool keepOrder : {false, true}) {
    std::vector<std::string> arguments = {"-j", "4", "-c", command, "tree"};
    if (keepOrder)
      arguments.insert(arguments.begin(), "-k");
    Outcome r = run(arguments);
    EXPECT_EQ(r.status, 0);
    std::vector<int> out = blocks(r.out, copies);
    std::vector<int> err = blocks(parseProgress(r.err).rest, 1);
    if (keepOrder) {
      EXPECT_EQ(out, walkOrder);
      EXPECT_EQ(err, walkOrder);
    } else {
      EXPECT_EQ(std::set<int>(out.begin(), out.end()).size(), static_cast<size_t>(files));
      EXPECT_EQ(std::set<int>(err.begin(), err.end()).size(), static_cast<size_t>(files));
    }
  }
}

// Failure lines come whole, as the commands end, or in walk order with -k;
// on a full disk every line that reaches the log is whole.
TEST_F(WalkexecJobs, TheFailureLogKeepsWholeLinesInTheOrderAsked) {
  for (int i = 0; i < 12; ++i)
    write("tree/d" + std::to_string(i % 3) + "/f" + std::to_string(i));
  const std::string fail = underWine() ? "exit 3" : "sleep 0.0$(($$ % 5)); exit 3";
  run({"-c", fail, "-e", "one.log", "tree"});
  run({"-j", "3", "-k", "-c", fail, "-e", "kept.log", "tree"});
  run({"-j", "3", "-c", fail, "-e", "ended.log", "tree"});
  EXPECT_EQ(read("kept.log"), read("one.log"));
  const std::string separator = utf16le("\r\n");
  auto logLines = [&](const std::string& log) {
    std::multiset<std::string> result;
    for (size_t at = 0, next; (next = log.find(separator, at)) != std::string::npos;
         at = next + separator.size())
      result.insert(log.substr(at, next - at));
    return result;
  };
  EXPECT_EQ(logLines(read("ended.log")), logLines(read("one.log")));
  EXPECT_EQ(logLines(read("one.log")).size(), 12u);

  if (underWine())
    return;
  std::string whyNot = mountFullDisk();
  if (!whyNot.empty())
    GTEST_SKIP() << whyNot;
  const std::string longName(100, 'n');
  for (int i = 0; i < 30; ++i)
    write("long/" + std::to_string(i) + longName);
  Outcome r = run({"-j", "4", "-c", "exit 1", "-e", "full/fail.log", "long"});
  EXPECT_EQ(r.status, 1);
  std::set<std::string> possible;
  for (int i = 0; i < 30; ++i)
    possible.insert(utf16le("1,long/" + std::to_string(i) + longName));
  std::string log = read("full/fail.log"), whole;
  for (const std::string& line : logLines(log)) {
    EXPECT_EQ(possible.count(line), 1u);
    whole += line + separator;
  }
  EXPECT_EQ(whole.size(), log.size()) << "a line was cut";
  EXPECT_GE(whole.size(), 4096 - 2 * possible.begin()->size());
}

// Not even when the file is reached by another path: a link, or a start
// path spelt another way.
TEST_F(WalkexecJobs, TwoCommandsForTheSamePathNeverRunAtOnce) {
  if (underWine())
    GTEST_SKIP() << "a POSIX script watches for overlaps";
  for (int i = 0; i < 4; ++i)
    write("tree/f" + std::to_string(i));
  ASSERT_EQ(symlink("f0", at("tree/alias").c_str()), 0);
  ASSERT_EQ(mkdir(at("locks").c_str(), 0755), 0);
  script("exclusive",
         "#!/bin/sh\nl=locks/$(stat -L -c %i \"$1\")\nmkdir \"$l\" || echo \"$1\" >>overlaps\n"
         "sleep 0.1\nrmdir \"$l\"\nprintf '%s\\000' \"$1\" >>calls\n");
  Outcome r = run({"-j", "8", "-p", "*,f*", "-c", "./exclusive @path", "tree", "./tree"});
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(exists("overlaps")) << read("overlaps");
  EXPECT_EQ(calls().size(), 18u);
}

// However soon after the launch Ctrl-C comes, no command starts after it: a
// command started before it is in the process group and dies with it, so
// a command that lives to record its path started after the interrupt. A
// command started without a shell makes the first start the slowest.
TEST_F(WalkexecJobs, NoCommandStartsAfterAnInterrupt) {
  if (underWine())
    GTEST_SKIP() << "POSIX signals";
  for (int i = 0; i < 20; ++i)
    write("tree/f" + std::to_string(i));
  script("late", "#!/bin/sh\nsleep 0.05\nprintf '%s\\000' \"$1\" >>calls\n");
  std::mt19937 random(std::random_device{}());
  for (const char* jobs : {"1", "4"}) {
    for (int runs = 0; runs < 40; ++runs) {
      pid_t child = start({"-j", jobs, "-c", "./late @path", "tree"});
      usleep(std::uniform_int_distribution<int>(0, 6000)(random));
      kill(-child, SIGINT);
      Outcome r = finish(child);
      waitForGroup(child);
      EXPECT_EQ(r.signal, SIGINT) << "-j " << jobs;
    }
    EXPECT_FALSE(exists("calls")) << "-j " << jobs << ": " << calls().size() << " started late";
  }
}

// With several commands running, Ctrl-C to the process group ends them;
// SIGINT or SIGQUIT to walkexec alone lets them finish. Either way nothing
// more starts, and what they printed and their failure lines are written
// before walkexec ends by the signal.
TEST_F(WalkexecJobs, AnInterruptWaitsForTheRunningCommandsAndWritesTheirResults) {
  if (underWine())
    GTEST_SKIP() << "POSIX signals";
  for (int i = 0; i < 8; ++i)
    write("tree/f" + std::to_string(i));
  script("slow",
         "#!/bin/sh\necho \"started $1\"\nprintf '%s\\000' \"$1\" >>calls\n"
         "sleep \"$2\"\necho \"ended $1\"\nexit 2\n");
  struct Case {
    const char* jobs;
    bool group;
    int signo;
    const char* seconds;
    const char* ending;  // What each command prints last.
    std::string logged;  // Each command's exit code in the logs.
  };
  // SIGTERM is what a cluster's scheduler sends at a time limit, to the
  // job's processes or to walkexec alone; Slurm's --signal sends SIGUSR1
  // or SIGUSR2 ahead of it.
  for (const Case& c :
       {Case{"3", true, SIGINT, "10", "", "130"}, Case{"3", false, SIGINT, "1", "ended", "2"},
        Case{"3", false, SIGQUIT, "1", "ended", "2"}, Case{"3", true, SIGTERM, "10", "", "143"},
        Case{"3", false, SIGTERM, "1", "ended", "2"}, Case{"1", false, SIGTERM, "1", "ended", "2"},
        Case{"3", false, SIGHUP, "1", "ended", "2"}, Case{"1", false, SIGHUP, "1", "ended", "2"},
        Case{"3", false, SIGUSR1, "1", "ended", "2"},
        Case{"1", false, SIGUSR2, "1", "ended", "2"}}) {
    const std::string shown = std::string("-j ") + c.jobs + " " + strsignal(c.signo);
    const size_t running = std::stoul(c.jobs);
    remove(at("calls").c_str());
    remove(at("fail.log").c_str());
    remove(at("job.log").c_str());
    const std::string command = std::string("./slow @path ") + c.seconds;
    pid_t child = start({"-j", c.jobs, "-c", command, "-e", "fail.log", "-l", "job.log", "tree"});
    ASSERT_TRUE(waitForCalls(running)) << shown;
    kill(c.group ? -child : child, c.signo);
    Outcome r = finish(child);
    waitForGroup(child);
    EXPECT_EQ(r.signal, c.signo) << shown;
    std::vector<std::string> seen = calls();
    EXPECT_EQ(seen.size(), running) << shown;
    std::string out, log;
    for (const std::string& path : seen) {
      out += "started " + path + "\n";
      if (*c.ending)
        out += std::string(c.ending) + " " + path + "\n";
      log += utf16le(c.logged + "," + path + "\r\n");
    }
    std::vector<std::string> outLines = splitLines(r.out), expectedLines = splitLines(out);
    std::sort(outLines.begin(), outLines.end());
    std::sort(expectedLines.begin(), expectedLines.end());
    EXPECT_EQ(outLines, expectedLines) << shown << ": " << r.out;
    EXPECT_EQ(read("fail.log").size(), log.size()) << shown;
    EXPECT_EQ(read("job.log").size(), log.size()) << shown;
  }
}

// However few descriptors a run may open, every command runs once: one
// that cannot start waits for a running one to end, and held output never
// takes what a start needs. Only a command that cannot start alone is given
// up, told, logged and failed. Started with SIGCHLD ignored, commands are
// still seen to end.
TEST_F(WalkexecJobs, NoCommandIsLostUnderLimits) {
  if (underWine())
    GTEST_SKIP() << "POSIX limits";
  for (int i = 0; i < 300; ++i)
    write("tree/d" + std::to_string(i % 4) + "/f" + std::to_string(i));
  write("big", std::string(70 * 1000, 'x') + "\n");
  script("loud", "#!/bin/sh\nprintf '%s\\000' \"$1\" >>calls\ncat big\ncat big >&2\n");
  script("quiet", "#!/bin/sh\nprintf '%s\\000' \"$1\" >>calls\necho \"$1\"\n");
  std::vector<std::string> all;
  for (int i = 0; i < 300; ++i)
    all.push_back("tree/d" + std::to_string(i % 4) + "/f" + std::to_string(i));
  std::sort(all.begin(), all.end());
  auto under = [&](const std::string& limits, std::vector<std::string> arguments) {
    // Only the standard descriptors, whatever the test runner left open.
    std::vector<std::string> words = {
        "/bin/sh", "-c",
        "exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; " + limits + "; exec \"$0\" \"$@\"", binary()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return finish(spawn(words));
  };
  struct Case {
    const char* limits;
    std::vector<std::string> arguments;
  };
  for (const Case& c : {Case{"ulimit -n 1024", {"-j", "256", "-c", "./loud @path"}},
                        Case{"ulimit -n 1024", {"-j", "256", "-k", "-c", "./loud @path"}},
                        Case{"ulimit -n 256", {"-j", "100", "-c", "./quiet @path"}},
                        Case{"trap '' CHLD", {"-j", "4", "-c", "./quiet @path"}},
                        Case{"trap '' CHLD", {"-c", "./quiet @path"}}}) {
    std::string shown = c.limits;
    for (const std::string& word : c.arguments)
      shown += " " + word;
    remove(at("calls").c_str());
    remove(at("job.log").c_str());
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"-l", "job.log", "tree"});
    Outcome r = under(c.limits, arguments);
    EXPECT_EQ(r.status, 0) << shown << ": " << parseProgress(r.err).rest.substr(0, 200);
    EXPECT_EQ(sortedCalls(), all) << shown;
    std::string log = read("job.log");
    size_t successes = 0;
    for (size_t at = 0; (at = log.find(utf16le("\r\n0,"), at)) != std::string::npos; ++at)
      ++successes;
    EXPECT_EQ(successes + (log.compare(0, 4, utf16le("0,")) == 0), all.size()) << shown;
  }

  // Threads count against the process limit as commands do: several at a
  // time run wherever one at a time runs. Only root can run as a user of
  // its own, whose processes are ours alone.
  if (geteuid() == 0) {
    for (const char* jobs : {"1", "16"}) {
      remove(at("calls").c_str());
      remove(at("job.log").c_str());
      Outcome r =
          runLimited("ulimit -p 17", {"-j", jobs, "-c", "./quiet @path", "-l", "job.log", "tree"});
      EXPECT_EQ(r.status, 0) << "-j " << jobs << ": " << parseProgress(r.err).rest.substr(0, 200);
      EXPECT_EQ(sortedCalls(), all) << "-j " << jobs;
    }
  }

  // Nine descriptors leave too few for a command's pipes: the commands run
  // one at a time, as they do with -j 1, and none is given up.
#ifdef __SANITIZE_ADDRESS__
  // Their runtime checks memory through a pipe of its own, which it cannot
  // make there, and then reports a fault that is not one.
  GTEST_SKIP() << "the sanitizers need descriptors of their own below nine";
#endif
  std::vector<std::string> contents;
  for (int i = 0; i < 20; ++i) {
    contents.push_back(std::to_string(i));
    write("small/f" + contents.back(), contents.back() + "\n");
  }
  std::sort(contents.begin(), contents.end());
  Outcome r = under("ulimit -n 9", {"-j", "2", "-e", "fail.log", "-c", "cat @path", "small"});
  EXPECT_EQ(r.status, 0) << parseProgress(r.err).rest.substr(0, 300);
  std::vector<std::string> printed = splitLines(r.out);
  std::sort(printed.begin(), printed.end());
  EXPECT_EQ(printed, contents);
  EXPECT_FALSE(exists("fail.log"));
}

// A command has ended when its process has: a process that it leaves
// behind holding its output holds neither its job, nor its log line, nor
// the end of the run, SIGTERM's included.
TEST_F(WalkexecJobs, ACommandEndsWhenItsProcessExits) {
  if (underWine())
    GTEST_SKIP() << "POSIX background processes";
  for (int i = 0; i < 8; ++i)
    write("tree/f" + std::to_string(i));
  const std::string leaves = "sh -c 'sleep 5 & echo started $1' x @path";
  time_t before = time(nullptr);
  pid_t child = start({"-j", "2", "-l", "job.log", "-c", leaves, "tree"});
  Outcome r = finish(child);
  kill(-child, SIGKILL);
  EXPECT_LT(time(nullptr) - before, 4);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(splitLines(r.out).size(), 8u) << r.out;
  EXPECT_EQ(read("job.log").size(), 8 * utf16le("0,tree/f0\r\n").size());

  before = time(nullptr);
  child = start({"-j", "2", "-c", record("sleep 5 & sleep 0.2"), "tree"});
  ASSERT_TRUE(waitForCalls(2));
  kill(child, SIGTERM);
  r = finish(child);
  kill(-child, SIGKILL);
  EXPECT_EQ(r.signal, SIGTERM);
  EXPECT_LT(time(nullptr) - before, 4);
}

// Started with standard error, or input, closed, walkexec opens the null
// device there: nothing else it opens takes its place, and no command's
// errors land in another command's output or fail the run.
TEST_F(WalkexecJobs, ClosedStandardStreamsAreTheNullDevice) {
  if (underWine())
    GTEST_SKIP() << "POSIX descriptors";
  std::vector<std::string> expected;
  for (int i = 0; i < 12; ++i) {
    write("tree/d" + std::to_string(i % 3) + "/f" + std::to_string(i));
    expected.push_back("OUT tree/d" + std::to_string(i % 3) + "/f" + std::to_string(i));
  }
  std::sort(expected.begin(), expected.end());
  script("both", "#!/bin/sh\nhead -c 100000 /dev/zero | tr '\\0' x >&2\necho \"OUT $1\"\n");
  Outcome r = runLimited("exec 0<&- 2>&-", {"-j", "4", "-c", "./both @path", "tree"});
  EXPECT_EQ(r.status, 0);
  std::vector<std::string> printed = splitLines(r.out);
  std::sort(printed.begin(), printed.end());
  EXPECT_EQ(printed, expected);
}

// "@paths" stands for as many quoted paths as fit one command line: every
// file runs once, in a few commands; each file is logged with its batch's
// exit code, one at a time or several, kept in order or not, and a resume
// runs only the files of the batches that failed.
TEST_F(WalkexecJobs, BatchesRunAsManyPathsAsFitOneLine) {
  if (underWine())
    GTEST_SKIP() << "a POSIX script counts the paths";
  std::vector<std::string> all;
  for (int i = 0; i < 1500; ++i) {
    all.push_back(std::string("tree/") + (i % 5 ? "good/" : "bad/") + std::string(120, 'n') +
                  std::to_string(i));
    write(all.back());
  }
  std::sort(all.begin(), all.end());
  script("batch",
         "#!/bin/sh\nprintf '%s\\000' \"$@\" >>calls\necho $# >>counts\n"
         "case \"$*\" in *tree/bad/*) exit 3 ;; esac\n");
  for (const std::vector<std::string>& jobs :
       std::vector<std::vector<std::string>>{{"-j", "1"}, {"-j", "2"}, {"-j", "2", "-k"}}) {
    for (const char* name : {"calls", "counts", "fail.log", "job.log"})
      remove(at(name).c_str());
    std::vector<std::string> arguments = jobs;
    arguments.insert(arguments.end(),
                     {"-c", "./batch @paths", "-e", "fail.log", "-l", "job.log", "tree"});
    Outcome r = run(arguments);
    const std::string shown = jobs[0] + " " + jobs[1];
    EXPECT_EQ(r.status, 0) << shown << r.err;
    EXPECT_EQ(sortedCalls(), all) << shown;
    size_t batches = splitLines(read("counts")).size();
    EXPECT_GE(batches, 2u) << shown;
    EXPECT_LE(batches, 4u) << shown;
    std::string jobLog = read("job.log"), failures = read("fail.log");
    EXPECT_EQ(std::count(jobLog.begin(), jobLog.end(), '\n'), 1500) << shown;
    EXPECT_NE(failures.find(utf16le("3," + all.front() + "\r\n")), std::string::npos) << shown;
    EXPECT_EQ(jobLog.find(utf16le("3," + all.front() + "\r\n")) == std::string::npos, false);
  }
  std::set<std::string> failed;
  const std::string separator = utf16le("\r\n");
  std::string failures = read("fail.log");
  for (size_t at = 0, next; (next = failures.find(separator, at)) != std::string::npos;
       at = next + separator.size()) {
    std::string path;
    for (size_t i = at + 4; i < next; i += 2)
      path += failures[i];
    failed.insert(path);
  }
  remove(at("calls").c_str());
  run({"-r", "-c", "./batch @paths", "-l", "job.log", "tree"});
  std::vector<std::string> again = calls();
  EXPECT_EQ(std::set<std::string>(again.begin(), again.end()), failed);
}

// A standard output whose reader has gone stops the run, one command at a
// time or several: nothing new starts, the commands started end and are
// logged, and walkexec ends by SIGPIPE.
TEST_F(WalkexecJobs, AClosedStandardOutputStopsTheRun) {
  if (underWine())
    GTEST_SKIP() << "POSIX signals";
  for (int i = 0; i < 20; ++i)
    write("tree/f" + std::to_string(i));
  script("loud", "#!/bin/sh\nprintf '%s\\000' \"$1\" >>calls\necho \"$1\"\n");
  for (const char* jobs : {"1", "4"}) {
    remove(at("calls").c_str());
    remove(at("job.log").c_str());
    Outcome r =
        finish(start({"-j", jobs, "-c", "./loud @path", "-l", "job.log", "tree"}, false, true));
    EXPECT_EQ(r.signal, SIGPIPE) << "-j " << jobs;
    size_t ran = calls().size();
    EXPECT_GE(ran, 1u);
    EXPECT_LE(ran, std::string(jobs) == "1" ? 1u : 12u) << "-j " << jobs;
    const std::string log = read("job.log"), end = utf16le("\r\n");
    size_t logged = 0;
    for (size_t at = 0; (at = log.find(end, at)) != std::string::npos; at += end.size())
      ++logged;
    EXPECT_EQ(logged, ran) << "-j " << jobs;
  }
}

// No limit ends the run unseen. Past the file size limit, held output goes
// to memory and arrives whole, and output that cannot be written is told;
// a temporary directory that fills loses nothing and tells nothing; held
// output that memory cannot take is told. Every command is logged.
TEST_F(WalkexecJobs, LimitsOnFileSizeAndMemoryLoseNothingSilently) {
  if (underWine())
    GTEST_SKIP() << "POSIX limits";
  const int files = 4;
  for (int i = 0; i < files; ++i)
    write("tree/f" + std::to_string(i));
  script("print", "#!/bin/sh\nhead -c \"$1\" /dev/zero\n");
  // Each case runs walkexec in `shell`, after which `status` holds its
  // exit status.
  auto under = [&](const std::string& shell, const std::string& bytes) {
    remove(at("job.log").c_str());
    std::vector<std::string> words = {"/bin/sh", "-c",      shell, binary(),
                                      "-j",      "2",       "-c",  "./print " + bytes,
                                      "-l",      "job.log", "tree"};
    Outcome r = finish(spawn(words));
    const std::string log = read("job.log");
    EXPECT_EQ(log.size(), files * utf16le("0,tree/f0\r\n").size()) << shell << ": " << r.err;
    return r;
  };
  // Past 51,200 bytes (dash counts 512-byte blocks).
  setenv("TMPDIR", dir_.c_str(), 1);
  Outcome r = under("{ (ulimit -f 100; exec \"$0\" \"$@\"); echo $? >status; } | wc -c", "100000");
  EXPECT_EQ(r.out, std::to_string(files * 100000) + "\n");
  EXPECT_EQ(read("status"), "0\n") << r.err;
  EXPECT_EQ(parseProgress(r.err).rest, "");
  r = under("ulimit -f 100; \"$0\" \"$@\"; echo $? >status", "40000");
  EXPECT_EQ(read("status"), "1\n");
  EXPECT_NE(r.err.find("walkexec: cannot write the output of the command for tree/f"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find(": File too large\n"), std::string::npos) << r.err;

  // No temporary file at all: memory alone holds the output. The
  // sanitizers' runtime needs more address space than any such limit
  // leaves.
#ifndef __SANITIZE_ADDRESS__
  setenv("TMPDIR", at("missing").c_str(), 1);
  r = under("ulimit -v 150000; \"$0\" \"$@\" >/dev/null; echo $? >status", "300000000");
  EXPECT_EQ(read("status"), "1\n");
  EXPECT_NE(r.err.find("walkexec: cannot hold the output of the command for tree/f"),
            std::string::npos)
      << r.err;
#endif

  std::string whyNot = mountFullDisk();
  if (!whyNot.empty()) {
    unsetenv("TMPDIR");
    GTEST_SKIP() << whyNot;
  }
  setenv("TMPDIR", at("full").c_str(), 1);
  r = under("\"$0\" \"$@\" | wc -c; echo $? >status", "100000");
  unsetenv("TMPDIR");
  EXPECT_EQ(r.out, std::to_string(files * 100000) + "\n");
  EXPECT_EQ(parseProgress(r.err).rest, "");
}

// A run cut short anywhere resumes where it stopped: the job log has a
// line for every command that ended, and -r runs only the files it does
// not record as succeeded, the failures among them.
TEST_F(WalkexecJobs, AJobLogResumesARunCutShort) {
  if (underWine())
    GTEST_SKIP() << "POSIX signals";
  std::vector<std::string> all;
  for (int i = 0; i < 40; ++i) {
    all.push_back("tree/d" + std::to_string(i % 4) + "/" + (i % 5 ? "f" : "bad") +
                  std::to_string(i));
    write(all.back());
  }
  std::sort(all.begin(), all.end());
  script("job",
         "#!/bin/sh\nprintf '%s\\000' \"$1\" >>calls\nsleep 0.05\n"
         "case \"${1##*/}\" in bad*) exit 3 ;; esac\n");
  // The paths that the job log records with `code`.
  auto logged = [&](const std::string& code) {
    std::string log = read("job.log");
    std::set<std::string> paths;
    const std::string end = utf16le("\r\n"), start = utf16le(code + ",");
    for (size_t at = 0, next; (next = log.find(end, at)) != std::string::npos;
         at = next + end.size()) {
      if (log.compare(at, start.size(), start) != 0)
        continue;
      std::string path;
      for (size_t i = at + start.size(); i < next; i += 2)
        path += log[i];
      paths.insert(path);
    }
    return paths;
  };

  Outcome usage = run({"-r", "tree"});
  EXPECT_EQ(usage.status, 255);

  pid_t child = start({"-j", "3", "-c", "./job @path", "-l", "job.log", "tree"});
  ASSERT_TRUE(waitForCalls(12));
  kill(-child, SIGKILL);
  finish(child);
  waitForGroup(child);
  std::set<std::string> done = logged("0");
  EXPECT_FALSE(done.empty());
  EXPECT_LT(done.size(), all.size());

  remove(at("calls").c_str());
  Outcome r = run({"-j", "3", "-r", "-c", "./job @path", "-l", "job.log", "tree"});
  EXPECT_EQ(r.status, 0);
  std::vector<std::string> expected;
  for (const std::string& path : all)
    if (!done.count(path))
      expected.push_back(path);
  EXPECT_EQ(sortedCalls(), expected);
  std::set<std::string> failed;
  for (const std::string& path : all)
    if (path.find("/bad") != std::string::npos)
      failed.insert(path);
  EXPECT_EQ(logged("3"), failed);
  EXPECT_EQ(logged("0").size() + failed.size(), all.size());

  // Resumed again, only the failures run.
  remove(at("calls").c_str());
  run({"-r", "-c", "./job @path", "-l", "job.log", "tree"});
  std::vector<std::string> again = calls();
  EXPECT_EQ(std::set<std::string>(again.begin(), again.end()), failed);

  // A job log that cannot be read runs nothing.
  remove(at("calls").c_str());
  r = run({"-r", "-c", "./job @path", "-l", "tree", "tree"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("walkexec: cannot read the job log tree: "), std::string::npos) << r.err;
  EXPECT_FALSE(exists("calls"));
}

// No name can forge a line of the job log: a file name holding CR LF and
// a directory name holding CR LF and "0," are escaped, so that the
// failures they would have hidden run again on every resume, and the names
// themselves run once.
TEST_F(WalkexecJobs, NoNameForgesASuccessInTheJobLog) {
  if (underWine())
    GTEST_SKIP() << "Windows names hold no CR or LF";
  for (const char* name : {"t/f", "t/f\r\nbackup", "t/a|r", "t/e\r\n0,s2/t", "s2/t"})
    write(name);
  script("job",
         "#!/bin/sh\nprintf '%s\\000' \"$1\" >>calls\ncase \"$1\" in t/f|s2/t) exit 1 ;; esac\n");
  const std::vector<std::string> arguments = {"-r",      "-c", "./job @path", "-l",
                                              "job.log", "t",  "s2"};
  run(arguments);
  EXPECT_EQ(sortedCalls().size(), 5u);
  for (int resume = 0; resume < 2; ++resume) {
    remove(at("calls").c_str());
    Outcome r = run(arguments);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sortedCalls(), (std::vector<std::string>{"s2/t", "t/f"})) << "resume " << resume;
  }
}

// A job log cut off inside a line (an odd length, a zero-filled tail, a
// line without its end) is mended before the resume appends: each resume
// then runs only what has not succeeded. A job log that is no regular file
// is refused at once.
TEST_F(WalkexecJobs, AResumeMendsACutJobLogAndRefusesOneThatNeverEnds) {
  const std::string tails[] = {"0", std::string(5, '\0'), utf16le("0,t")};
  for (const std::string& tail : tails) {
    const std::string tree = "t" + std::to_string(tail.size());
    write(tree + "/a");
    write(tree + "/sub/b");
    const std::string log = tree + ".log";
    const std::vector<std::string> arguments = {"-r", "-c", record(), "-l", log, tree};
    run(arguments);
    std::ofstream(at(log), std::ios::binary | std::ios::app) << tail;
    for (const std::string& added : {tree + "/new", tree + "/sub/new"}) {
      write(added);
      remove(at("calls").c_str());
      EXPECT_EQ(run(arguments).status, 0);
      EXPECT_EQ(calls(), std::vector<std::string>{native(added)}) << tail.size();
    }
  }
  remove(at("calls").c_str());

  if (underWine())
    return;
  ASSERT_EQ(mkfifo(at("fifo").c_str(), 0644), 0);
  for (const char* log : {"fifo", "/dev/zero"}) {
    pid_t child = start({"-r", "-l", log, "-c", record(), "t1"});
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 500 && (ended = waitpid(child, &status, WNOHANG)) == 0; ++i)
      usleep(10000);
    if (ended == 0) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      ADD_FAILURE() << log << " was read for five seconds";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << log;
    EXPECT_NE(read(".err").find(std::string("walkexec: cannot read the job log ") + log +
                                ": not a regular file\n"),
              std::string::npos)
        << read(".err");
    EXPECT_FALSE(exists("calls"));
  }
}

// N runs of -s K/N take every file exactly once between them, whatever the
// start path's spelling, and each file goes where the documented hash says,
// on every system. -s slurm takes K and N from a job array's variables.
TEST_F(WalkexecJobs, ShardsTogetherRunEveryFileOnce) {
  std::vector<std::string> relative;
  for (int i = 0; i < 40; ++i) {
    relative.push_back("d" + std::to_string(i % 4) + "/s" + std::to_string(i % 3) + "/f" +
                       std::to_string(i) + ".txt");
    write("tree/" + relative.back());
  }
  for (uint32_t count = 1; count <= 5; ++count) {
    std::map<std::string, uint32_t> ranBy;
    for (uint32_t index = 0; index < count; ++index) {
      remove(at("calls").c_str());
      const std::string shard = std::to_string(index) + "/" + std::to_string(count);
      // Start paths spelt two ways give the same relative paths.
      run({"-s", shard, "-c", record(), index % 2 ? native("tree/") : "tree"});
      for (const std::string& path : calls()) {
        std::string rel = path.substr(5);
        std::replace(rel.begin(), rel.end(), '\\', '/');
        EXPECT_TRUE(ranBy.emplace(rel, index).second) << rel << " ran twice";
      }
    }
    ASSERT_EQ(ranBy.size(), relative.size()) << count << " shards";
    for (const std::string& rel : relative)
      EXPECT_EQ(ranBy[rel], shardHash(rel) % count) << rel << " of " << count;
  }

  // Task 7 of an array 5-11 stepped by 2 (5, 7, 9, 11) is shard 1 of 4.
  remove(at("calls").c_str());
  run({"-s", "1/4", "-c", record(), "tree"});
  std::vector<std::string> expected = sortedCalls();
  remove(at("calls").c_str());
  setenv("SLURM_ARRAY_TASK_ID", "7", 1);
  setenv("SLURM_ARRAY_TASK_MIN", "5", 1);
  setenv("SLURM_ARRAY_TASK_MAX", "11", 1);
  setenv("SLURM_ARRAY_TASK_COUNT", "4", 1);
  setenv("SLURM_ARRAY_TASK_STEP", "2", 1);
  Outcome r = run({"-s", "slurm", "-c", record(), "tree"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(sortedCalls(), expected);

  // A list array, 1,3,5 (MIN 1, MAX 5, COUNT 3, step 1), is refused by
  // every one of its tasks, so that no shard is left to none.
  remove(at("calls").c_str());
  unsetenv("SLURM_ARRAY_TASK_STEP");
  setenv("SLURM_ARRAY_TASK_MIN", "1", 1);
  setenv("SLURM_ARRAY_TASK_MAX", "5", 1);
  setenv("SLURM_ARRAY_TASK_COUNT", "3", 1);
  for (const char* id : {"1", "3", "5"}) {
    setenv("SLURM_ARRAY_TASK_ID", id, 1);
    EXPECT_EQ(run({"-s", "slurm", "-c", record(), "tree"}).status, 255) << "task " << id;
  }
  for (const char* name : {"SLURM_ARRAY_TASK_ID", "SLURM_ARRAY_TASK_MIN", "SLURM_ARRAY_TASK_MAX",
                           "SLURM_ARRAY_TASK_COUNT"})
    unsetenv(name);
  EXPECT_FALSE(exists("calls"));
}

}  // namespace
