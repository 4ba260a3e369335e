// walkexec end to end, one command at a time; walkexec_jobs_test.cc runs
// several at once.
#include "walkexec_e2e.h"

namespace {

using namespace e2e;

TEST_F(Walkexec, BadCommandLinesPrintUsageAndExitWithMinusOne) {
  writeSmallTree();
  const std::string name = programName();
  struct Case {
    std::vector<std::string> arguments;
    std::string diagnostic;  // The getopt library's own line, if any.
  };
  const Case cases[] = {
      {{}, ""},
      {{"-h", "tree"}, name + ": illegal option -- h\n"},
      {{"-?", "tree"}, name + ": illegal option -- ?\n"},
      {{"-p"}, name + ": option requires an argument -- p\n"},
      {{"-p", "x"}, ""},
      {{"-c", "exit 0"}, ""},
  };
  for (const Case& c : cases) {
    std::string shown = c.arguments.empty() ? "(none)" : c.arguments[0];
    Outcome r = run(c.arguments);
    EXPECT_EQ(r.status, 255) << shown;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_EQ(r.err, lines(c.diagnostic) + usage()) << shown;
  }
}

TEST_F(Walkexec, FilesComePatternByPatternBeforeSubdirectories) {
  writeSmallTree();
  Outcome r = run({"-p", "*.txt,*", "-c", record(), "tree"});
  EXPECT_EQ(r.status, 0);
  std::vector<std::string> seen = calls();
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[0], native("tree/a.txt"));
  std::vector<std::string> second(seen.begin() + 1, seen.begin() + 3);
  std::sort(second.begin(), second.end());
  EXPECT_EQ(second, (std::vector<std::string>{native("tree/a.txt"), native("tree/b.dat")}));
  EXPECT_EQ(seen[3], native("tree/sub/c.txt"));
  EXPECT_EQ(seen[4], native("tree/sub/c.txt"));
}

TEST_F(Walkexec, SubdirectoriesMatchingNoPatternAreEntered) {
  writeSmallTree();
  // A start path ending in a separator gets no second one.
  run({"-p", "*.txt", "-c", record(), "tree", native("tree/")});
  const std::string a = native("tree/a.txt"), c = native("tree/sub/c.txt");
  EXPECT_EQ(calls(), (std::vector<std::string>{a, c, a, c}));
}

TEST_F(Walkexec, TheSameStartPathTwiceIsWalkedTwice) {
  writeSmallTree();
  run({"-p", "*.dat", "-c", record(), "tree", "tree"});
  EXPECT_EQ(calls(), (std::vector<std::string>{native("tree/b.dat"), native("tree/b.dat")}));
}

// A start path that is a file yields nothing, silently. One that does not
// exist (an empty one among them, what an unset variable gives), and a
// directory that cannot be read, are named; the rest is walked, and the
// run fails.
TEST_F(Walkexec, StartPathsThatAreNoDirectoryYieldNothingAndMissingOnesAreNamed) {
  writeSmallTree();
  Outcome r = run({"-c", record(), native("tree/a.txt")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(parseProgress(r.err).rest, "");
  EXPECT_FALSE(exists("calls"));

  r = run({"-p", "*.dat", "-c", record(), "missing", "tr*", "", "tree"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(calls(), std::vector<std::string>{native("tree/b.dat")});
  std::string told = parseProgress(r.err).rest;
  EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 3) << told;
  EXPECT_EQ(told.find(lines("walkexec: cannot read missing: ")), 0u) << told;
  EXPECT_NE(told.find(lines("\nwalkexec: cannot read tr*: ")), std::string::npos) << told;
  EXPECT_NE(told.find(lines("\nwalkexec: cannot read : No such file or directory\n")),
            std::string::npos)
      << told;

  if (underWine())
    return;
  write("tree/locked/d.dat");
  write("tree/open/e.dat");
  ASSERT_EQ(chmod(at("tree/locked").c_str(), 0), 0);
  remove(at("calls").c_str());
  r = runLimited("true", {"-p", "*.dat", "-c", record(), "tree"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(sortedCalls(), (std::vector<std::string>{"tree/b.dat", "tree/open/e.dat"}));
  EXPECT_EQ(parseProgress(r.err).rest, "walkexec: cannot read tree/locked: Permission denied\n");
}

// A pattern that no file name can match (an empty one, one with a path
// separator) is told once, and the run goes on.
TEST_F(Walkexec, PatternDefaults) {
  writeSmallTree();
  Outcome r = run({"-p", ",", "-c", record(), "tree"});
  EXPECT_FALSE(exists("calls")) << "an empty pattern matches nothing";
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(parseProgress(r.err).rest, lines("walkexec: the pattern \"\" matches no file name\n"));

  r = run({"-p", "", "-c", record(), "tree"});
  std::vector<std::string> seen = sortedCalls();
  EXPECT_EQ(seen, (std::vector<std::string>{native("tree/a.txt"), native("tree/b.dat"),
                                            native("tree/sub/c.txt")}));

  remove(at("calls").c_str());
  r = run({"-p", "sub/*.txt,*.dat,,,sub/*.txt", "-c", record(), "tree"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), std::vector<std::string>{native("tree/b.dat")});
  EXPECT_EQ(parseProgress(r.err).rest,
            lines("walkexec: the pattern \"sub/*.txt\" matches no file name\n"
                  "walkexec: the pattern \"\" matches no file name\n"));
}

// Blanks and ';' are characters of a pattern, as they are of names.
TEST_F(Walkexec, BlanksAndSemicolonsBelongToThePattern) {
  for (const char* name : {"t/ x", "t/ draft.pdf", "t/a;b.pdf", "t/other"})
    write(name);
  const std::pair<std::string, std::string> cases[] = {
      {" x", "t/ x"}, {"*.txt, draft.pdf", "t/ draft.pdf"}, {"a;b.pdf", "t/a;b.pdf"}};
  for (const auto& c : cases) {
    remove(at("calls").c_str());
    Outcome r = run({"-p", c.first, "-c", record(), "t"});
    EXPECT_EQ(r.status, 0) << c.first;
    EXPECT_EQ(calls(), std::vector<std::string>{native(c.second)}) << c.first;
  }
}

// Each directory is read before any of its commands run: what they make
// there is not run, neither by the pattern that made it nor by the next.
TEST_F(Walkexec, FilesTheCommandsMakeAreNotRun) {
  for (int i = 0; i < 3; ++i)
    write("tree/doc" + std::to_string(i) + ".txt");
  const std::string copy = underWine() ? "copy @path @path.pdf >nul" : "cp @path @path.pdf";
  Outcome r = run({"-p", "*.txt,*.pdf", "-c", record(copy), "tree"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(sortedCalls(),
            (std::vector<std::string>{native("tree/doc0.txt"), native("tree/doc1.txt"),
                                      native("tree/doc2.txt")}));
  EXPECT_TRUE(exists("tree/doc0.txt.pdf"));
  EXPECT_FALSE(exists("tree/doc0.txt.pdf.pdf"));
}

// Options after a start path are options, and nothing runs before the
// whole line is read; after "--" every word is a start path.
TEST_F(Walkexec, OptionsAfterStartPathsAreOptions) {
  writeSmallTree();
  Outcome r = run({"-c", record(), "tree", "-p", "*.dat"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), std::vector<std::string>{native("tree/b.dat")});

  remove(at("calls").c_str());
  r = run({"-c", record(), "tree", "-p"});
  EXPECT_EQ(r.status, 255);
  EXPECT_FALSE(exists("calls"));

  r = run({"-p", "*.dat", "-c", record(), "--", "tree", "-p"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(calls(), std::vector<std::string>{native("tree/b.dat")});
  EXPECT_EQ(parseProgress(r.err).rest.find(lines("walkexec: cannot read -p: ")), 0u);
}

// Windows trims a dot or a blank that ends a name; the command gets the
// long form, which names the file itself.
TEST_F(Walkexec, NamesEndingInADotOrABlankReachTheirCommand) {
  write("t/x.", "content of x.\n");
  write("t/x", "content of x\n");
  write("t/y ", "content of y-blank\n");
  Outcome r = run({"-c", underWine() ? "type @path" : "cat @path", "t"});
  EXPECT_EQ(r.status, 0);
  for (const char* content : {"content of x.\n", "content of x\n", "content of y-blank\n"}) {
    size_t first = r.out.find(content);
    EXPECT_NE(first, std::string::npos) << content << r.out;
    EXPECT_EQ(r.out.find(content, first + 1), std::string::npos) << content << r.out;
  }
}

TEST_F(Walkexec, AnEmptyCommandFallsBackToEcho) {
  write("tree/one.txt");
  Outcome r = run({"-c", "", "tree"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, echoed("tree/one.txt"));
}

TEST_F(Walkexec, TheLastOfEachOptionWins) {
  writeSmallTree();
  Outcome r = run({"-p", "*.dat", "-p", "*.txt", "-c", "exit 2", "-c", record("exit 1"), "-e",
                   "first.log", "-e", "second.log", "tree"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls(), (std::vector<std::string>{native("tree/a.txt"), native("tree/sub/c.txt")}));
  EXPECT_FALSE(exists("first.log"));
  EXPECT_EQ(read("second.log"),
            utf16le("1," + native("tree/a.txt") + "\r\n1," + native("tree/sub/c.txt") + "\r\n"));
}

TEST_F(Walkexec, EveryLowerCasePlaceholderIsReplaced) {
  write("tree/one.txt");
  Outcome r = run({"-c", "echo @path @path @PATH", "tree"});
  std::string path = underWine() ? "\"" + native("tree/one.txt") + "\"" : "tree/one.txt";
  EXPECT_EQ(r.out, lines(path + " " + path + " @PATH\n"));

  writeSmallTree();
  r = run({"-c", "echo same", "tree"});
  EXPECT_EQ(r.out, lines("same\nsame\nsame\nsame\n"));
}

TEST_F(Walkexec, FailuresAreAppendedToTheLogInUtf16le) {
  writeSmallTree();
  write("fail.log", "OLD");
  Outcome r = run({"-c", record("exit 1"), "-e", "fail.log", "tree"});
  EXPECT_EQ(r.status, 0);
  std::vector<std::string> seen = calls();
  ASSERT_EQ(seen.size(), 3u);
  std::string expected = "OLD";
  for (const std::string& path : seen)
    expected += utf16le("1," + path + "\r\n");
  EXPECT_EQ(read("fail.log"), expected);
}

// A run in which commands failed ends with 0, as specified, unless -f
// asks that a failed command fail the run, as find -exec {} + does; one at
// a time, several at once or in batches.
TEST_F(Walkexec, FailedCommandsFailTheRunOnlyWithF) {
  writeSmallTree();
  const std::string some = underWine() ? "if @path==\"" + native("tree/b.dat") + "\" exit 1"
                                       : "case @path in *.dat) exit 1;; esac";
  for (const char* jobs : {"1", "2"}) {
    EXPECT_EQ(run({"-j", jobs, "-c", some, "tree"}).status, 0) << jobs;
    EXPECT_EQ(run({"-j", jobs, "-f", "-c", some, "tree"}).status, 1) << jobs;
    EXPECT_EQ(run({"-j", jobs, "-f", "-c", "exit 0", "tree"}).status, 0) << jobs;
    EXPECT_EQ(run({"-j", jobs, "-f", "-c", "exit 2 @paths", "tree"}).status, 1) << jobs;
  }
}

TEST_F(Walkexec, ExitCodesAreLoggedSigned) {
  write("tree/one.txt");
  // cmd.exe passes a negative code through; a POSIX shell reports a signal.
  std::string command = underWine() ? "exit -5" : "kill -9 $$";
  std::string code = underWine() ? "-5" : "137";
  run({"-c", command, "-e", "codes.log", "tree"});
  EXPECT_EQ(read("codes.log"), utf16le(code + "," + native("tree/one.txt") + "\r\n"));
}

TEST_F(Walkexec, NoLogWithoutFailures) {
  writeSmallTree();
  Outcome r = run({"-c", "exit 0", "-e", "ok.log", "tree"});
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(exists("ok.log"));
}

// A log that cannot be written is told once, every command still runs, and
// the run ends with status 1.
TEST_F(Walkexec, ALogThatCannotBeWrittenIsToldOnceAndFailsTheRun) {
  writeSmallTree();
  ASSERT_EQ(mkdir(at("adir").c_str(), 0755), 0);
  // A name that is not ASCII cuts no message short.
  for (const std::string& log :
       {native("missing/fail.log"), native("caf\xC3\xA9/fail.log"), std::string("adir")}) {
    remove(at("calls").c_str());
    Outcome r = run({"-c", record("exit 1"), "-e", log, "tree"});
    EXPECT_EQ(r.status, 1) << log;
    EXPECT_EQ(calls().size(), 3u) << log;
    std::string told = parseProgress(r.err).rest;
    EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
    EXPECT_NE(told.find("walkexec: cannot write the failure log " + log + ": "), std::string::npos)
        << told;
  }
  EXPECT_FALSE(exists("missing"));
}

// Each name reaches the command as exactly its own bytes, and nothing in it
// runs: "pwned" would appear if any did.
TEST_F(Walkexec, FileNamesReachTheCommandUnchanged) {
  std::vector<std::string> names = {"a b.txt",   "it's",        "$HOME",   "`echo pwned`",
                                    "100% done", "caf\xC3\xA9", "@path",   "amp&echo pwned",
                                    "semi;x",    "caret^x",     "(paren)", "comma,x"};
  if (!underWine()) {
    names.insert(names.end(), {"say \"hi\"", "back\\slash", "$(echo pwned >pwned)", "`touch pwned`",
                               "%PATH%", "bad\xFF\xFE", "new\nline", "it''s'"});
  }
  for (size_t i = 0; i < names.size(); ++i)
    write("tree/" + names[i], "<" + std::to_string(i) + ">");

  if (underWine()) {
    // cmd.exe's echo is not byte-exact; that type finds each file is.
    Outcome r = run({"-c", "type @path>>calls", "-e", "fail.log", "tree"});
    EXPECT_FALSE(exists("fail.log")) << read("fail.log");
    std::string typed = read("calls");
    for (size_t i = 0; i < names.size(); ++i) {
      std::string marker = "<" + std::to_string(i) + ">";
      size_t first = typed.find(marker);
      EXPECT_NE(first, std::string::npos) << names[i];
      EXPECT_EQ(typed.find(marker, first + 1), std::string::npos) << names[i];
    }
  } else {
    run({"-c", record(), "tree"});
    std::vector<std::string> seen = calls();
    std::vector<std::string> expected;
    for (const std::string& name : names)
      expected.push_back("tree/" + name);
    std::sort(seen.begin(), seen.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(seen, expected);
  }
  EXPECT_EQ(read(".out").find("pwned"), std::string::npos);
  EXPECT_FALSE(exists("pwned"));
  EXPECT_FALSE(exists("tree/pwned"));
}

TEST_F(Walkexec, SlowRunsShowTheSpinnerAndARisingCount) {
  const int files = underWine() ? 4 : 6;
  for (int i = 0; i < files; ++i)
    write("tree/f" + std::to_string(i));
  std::string slow = underWine() ? "ping -n 2 127.0.0.1 >nul" : "sleep 0.3";
  Outcome r = run({"-c", slow, "tree"});
  EXPECT_EQ(r.status, 0);
  Progress progress = parseProgress(r.err);
  EXPECT_EQ(progress.rest, "");
  ASSERT_GE(progress.counts.size(), 3u) << r.err;
  const std::string order = "|/-\\";
  for (size_t i = 0; i < progress.spinner.size(); ++i) {
    EXPECT_EQ(progress.spinner[i], order[i % 4]) << i;
    if (i > 0) {
      EXPECT_GE(progress.counts[i], progress.counts[i - 1]) << i;
    }
  }
  EXPECT_LE(progress.counts.back(), static_cast<unsigned long>(files));
}

TEST_F(Walkexec, AQuickRunShowsNoProgress) {
  write("tree/one.txt");
  // Under Wine a single command may take longer than the interval.
  Outcome r = underWine() ? run({"-p", "*.none", "tree"}) : run({"-c", "true", "tree"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

// Only regular files run, and links to them; links to directories are
// passed over, as find and fd pass them (Windows' junctions too, which Wine
// makes of them). With -L they are entered, and a link back up the tree is
// told, fails the run and is not walked round: POSIX has no path length
// limit to end such a cycle.
TEST_F(Walkexec, LinksToDirectoriesAreEnteredOnlyWhenAskedAndCyclesNever) {
  writeSmallTree();
  write("outside/secret.txt");
  ASSERT_EQ(symlink("..", at("tree/sub/up").c_str()), 0);
  ASSERT_EQ(symlink(".", at("tree/sub/self").c_str()), 0);
  ASSERT_EQ(symlink("sub", at("tree/link").c_str()), 0);
  ASSERT_EQ(symlink("../outside", at("tree/out").c_str()), 0);
  ASSERT_EQ(symlink("a.txt", at("tree/alias.txt").c_str()), 0);
  if (!underWine()) {
    ASSERT_EQ(symlink("nowhere", at("tree/dangling.txt").c_str()), 0);
    ASSERT_EQ(symlink("loopb.txt", at("tree/loopa.txt").c_str()), 0);
    ASSERT_EQ(symlink("loopa.txt", at("tree/loopb.txt").c_str()), 0);
    ASSERT_EQ(mkfifo(at("tree/fifo.txt").c_str(), 0644), 0);
  }

  Outcome r = run({"-p", "*.txt", "-c", record(), "tree"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(parseProgress(r.err).rest, "");
  EXPECT_EQ(sortedCalls(), (std::vector<std::string>{native("tree/a.txt"), native("tree/alias.txt"),
                                                     native("tree/sub/c.txt")}));

  remove(at("calls").c_str());
  r = run({"-L", "-p", "*.txt", "-c", record(), "tree"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(sortedCalls(),
            (std::vector<std::string>{native("tree/a.txt"), native("tree/alias.txt"),
                                      native("tree/link/c.txt"), native("tree/out/secret.txt"),
                                      native("tree/sub/c.txt")}));
  std::string told = parseProgress(r.err).rest;
  for (const char* loop :
       {"tree/sub/up is tree", "tree/sub/self is tree/sub", "tree/link/up is tree"})
    EXPECT_NE(told.find(lines("walkexec: file system loop: " + native(loop) + " again\n")),
              std::string::npos)
        << told;
}

// Only the pattern is a pattern: on POSIX '*', '?' and '[' are ordinary
// characters of directory names, start paths included.
TEST_F(Walkexec, WildcardCharactersInDirectoryNamesAreLiteral) {
  if (underWine())
    GTEST_SKIP() << "Windows forbids these characters in names";
  write("what?/a.txt");
  write("what?/x*y/b.txt");
  write("what?/[z]/c.txt");
  write("whatX/d.txt");
  Outcome r = run({"-p", "*.txt", "-c", record(), "what?"});
  EXPECT_EQ(r.status, 0);
  std::vector<std::string> seen = sortedCalls();
  EXPECT_EQ(seen, (std::vector<std::string>{"what?/[z]/c.txt", "what?/a.txt", "what?/x*y/b.txt"}));
}

// Ctrl-C reaches the whole foreground process group: walkexec ends at once
// by that signal, whether a shell or walkexec itself started the command.
TEST_F(Walkexec, AnInterruptToTheProcessGroupEndsTheRunByItsSignal) {
  if (underWine())
    GTEST_SKIP() << "POSIX signals";
  writeSmallTree();
  script("recordthen", "#!/bin/sh\nprintf '%s\\000' \"$2\" >>calls\nexec sleep \"$1\"\n");
  for (int signo : {SIGINT, SIGQUIT}) {
    for (const std::string& command : {record("sleep 10"), std::string("./recordthen 10 @path")}) {
      remove(at("calls").c_str());
      pid_t child = start({"-c", command, "tree"});
      ASSERT_TRUE(waitForCalls(1)) << command;
      kill(-child, signo);
      Outcome r = finish(child);
      EXPECT_EQ(r.signal, signo) << command;
      EXPECT_EQ(calls().size(), 1u) << command;
    }
  }
}

// An interrupt to walkexec alone lets the command finish and then ends the
// run by it; a command that exits 130 by itself is an ordinary failure.
TEST_F(Walkexec, AnInterruptToWalkexecAloneEndsTheRunWhenTheCommandEnds) {
  if (underWine())
    GTEST_SKIP() << "POSIX signals";
  writeSmallTree();
  script("recordthen", "#!/bin/sh\nprintf '%s\\000' \"$2\" >>calls\nsleep \"$1\"\n");
  pid_t child = start({"-c", "./recordthen 1 @path", "-e", "fail.log", "tree"});
  ASSERT_TRUE(waitForCalls(1));
  kill(child, SIGINT);
  Outcome r = finish(child);
  EXPECT_EQ(r.signal, SIGINT);
  EXPECT_EQ(calls().size(), 1u);
  EXPECT_FALSE(exists("fail.log")) << "the command was not interrupted";

  script("exit130", "#!/bin/sh\nexit 130\n");
  for (const std::string& command : {std::string("exit 130"), std::string("./exit130 @path")}) {
    remove(at("fail.log").c_str());
    r = run({"-c", command, "-e", "fail.log", "tree"});
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_EQ(read("fail.log").size(),
              utf16le("130,tree/a.txt\r\n130,tree/b.dat\r\n130,tree/sub/c.txt\r\n").size())
        << command;
  }
}

// A progress line that cannot be shown does not stop the work, and the
// commands start with SIGPIPE at its default and nothing blocked.
TEST_F(Walkexec, ProgressIntoAClosedPipeDoesNotEndTheRun) {
  if (underWine())
    GTEST_SKIP() << "POSIX signals";
  for (int i = 0; i < 4; ++i)
    write("tree/f" + std::to_string(i));
  Outcome r = finish(start({"-c", record("sleep 0.3"), "tree"}, true));
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(calls().size(), 4u);

  write("one/f");
  for (const char* command : {"cat /proc/self/status", "cat /proc/self/status; true"}) {
    r = run({"-c", command, "one"});
    std::smatch ignored, blocked;
    ASSERT_TRUE(std::regex_search(r.out, ignored, std::regex("SigIgn:\\s*([0-9a-f]+)"))) << r.out;
    ASSERT_TRUE(std::regex_search(r.out, blocked, std::regex("SigBlk:\\s*([0-9a-f]+)"))) << r.out;
    EXPECT_EQ(std::stoull(ignored[1], nullptr, 16) & (1ULL << (SIGPIPE - 1)), 0u) << command;
    EXPECT_EQ(std::stoull(blocked[1], nullptr, 16), 0u) << command;
  }
}

// On a full disk every line reaches the log whole or not at all; the loss is
// told once and fails the run.
TEST_F(Walkexec, OnAFullDiskTheLogKeepsWholeLinesOnly) {
  std::string whyNot = mountFullDisk();
  if (!whyNot.empty())
    GTEST_SKIP() << whyNot;

  const std::string longName(100, 'n');
  for (int i = 0; i < 30; ++i)
    write("tree/" + std::to_string(i) + longName);
  Outcome r = run({"-c", record("exit 1"), "-e", native("full/fail.log"), "tree"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(calls().size(), 30u);
  std::string told = parseProgress(r.err).rest;
  EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
  EXPECT_NE(told.find("walkexec: cannot write the failure log " + native("full/fail.log")),
            std::string::npos)
      << told;

  std::string expected;
  for (const std::string& path : calls()) {
    std::string line = utf16le("1," + path + "\r\n");
    if (expected.size() + line.size() > 4096)
      break;
    expected += line;
  }
  EXPECT_EQ(read("full/fail.log"), expected);
}

// A line that needs nothing of the shell runs without one; what it shows
// must be what /bin/sh -c shows for the same line: output, messages and exit
// code, for awkward names and for programs that cannot be started.
TEST_F(Walkexec, LinesRunWithoutAShellShowWhatTheShellShows) {
  if (underWine())
    GTEST_SKIP() << "POSIX shell";
  const std::vector<std::string> names = {"a b",       "it's",  "say \"hi\"",  "back\\slash",
                                          "new\nline", "-n",    "bad\xFF\xFE", "ctl\x81\x88",
                                          "tab\tx",    "$HOME", "*",           "x=1"};
  const std::vector<std::string> templates = {"ls -d @path",
                                              "/bin/ls -d -- @path",
                                              "/usr/bin/printf %s. '' 'a b' @path",
                                              "cat @path",
                                              "nosuchcommand @path",
                                              "./plain @path",
                                              "./script @path",
                                              "./binary @path",
                                              "./killed @path",
                                              "adir @path",
                                              "./adir @path",
                                              "@path",
                                              "env",
                                              "printf %s @path",
                                              "/usr/bin/printf %s= a=b @path",
                                              "A=1 env"};
  write("plain", "echo plain\n");
  script("script", "echo script \"$0\" \"$@\"\n");
  script("binary", std::string("\x7F"
                               "ELF\x01\x02\x00\x00",
                               8));
  script("killed", "#!/bin/sh\nkill -TERM $$\n");
  ASSERT_EQ(mkdir(at("adir").c_str(), 0755), 0);

  // The exit code that walkexec logged, 0 when none.
  auto logged = [this]() {
    std::string log = read("fail.log"), digits;
    for (size_t i = 0; i < log.size() && log[i] != ','; i += 2)
      digits += log[i];
    return digits.empty() ? 0 : std::stoi(digits);
  };
  for (size_t n = 0; n < names.size(); ++n) {
    const std::string path = "d" + std::to_string(n) + "/" + names[n];
    write(path, "<" + names[n] + ">\n");
    std::string quoted = "'";
    for (char c : path)
      quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    for (const std::string& command : templates) {
      std::string line = command;
      for (size_t at = line.find("@path"); at != std::string::npos;
           at = line.find("@path", at + quoted.size()))
        line.replace(at, 5, quoted);
      // As system() starts it, so the shell's messages begin with "sh: ".
      Outcome shell = finish(spawn({"sh", "-c", line}));
      remove(at("fail.log").c_str());
      Outcome r = run({"-c", command, "-e", "fail.log", "d" + std::to_string(n)});
      EXPECT_EQ(r.out, shell.out) << line;
      EXPECT_EQ(parseProgress(r.err).rest, shell.err) << line;
      EXPECT_EQ(logged(), shell.status) << line;
    }
  }
}

// Wine's first start in a fresh prefix sets the prefix up and talks about

// A line that starts with a quoted program runs as typed at a prompt, one at
// a time and several at a time; a start path past 260 units is walked.
TEST_F(Walkexec, QuotedProgramsAndLongPaths) {
  if (!underWine())
    GTEST_SKIP() << "the interpreter's quotes and the path limit are Windows'";
  write("tool dir/say.bat", "@echo said %~1\r\n");
  write("tree/a b.txt");
  std::string program = "\"Z:" + native(at("tool dir/say.bat")) + "\"";
  for (std::string jobs : {"1", "2"}) {
    Outcome r = run({"-j", jobs, "-c", program + " @path", "tree"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, lines("said " + native("tree/a b.txt") + "\n"));
  }
  std::string deep = "long";
  for (int level = 0; level < 6; ++level)
    deep += "/" + std::string(50, 'd');
  write(deep + "/deep.txt");
  std::string start = "Z:" + native(at("long"));
  Outcome r = run({"-e", "fail.log", "-c", "exit 3", start});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read("fail.log"), utf16le("3,Z:" + native(at(deep + "/deep.txt")) + "\r\n"));
}

// it on stderr; do that before any test reads stderr.
class WineStart : public ::testing::Environment {
 public:
  void SetUp() override {
    if (underWine()) {
      ASSERT_EQ(system("wineboot -i >/dev/null 2>&1"), 0);
    }
  }
};

const auto* const wineStart = ::testing::AddGlobalTestEnvironment(new WineStart);

}  // namespace
