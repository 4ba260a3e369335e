#include "shell_words.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace {

using Words = std::vector<std::string>;

TEST(PlainWords, OnlyLinesTheShellTakesLiterallyAreSplit) {
  struct Case {
    const char* line;
    bool plain;
    Words words;
  };
  const Case cases[] = {
      {"wc -l 'a b'", true, {"wc", "-l", "a b"}},
      {"cat 'it'\\''s'  \t x", true, {"cat", "it's", "x"}},
      {"dd if='f'", true, {"dd", "if=f"}},
      {"A=1 env", false, {}},
      {"echo 'x'", false, {}},
      {"printf x", false, {}},
      {"test -f x", false, {}},
      {"if true", false, {}},
      {"true", false, {}},
      {"cat $HOME", false, {}},
      {"cat 'x", false, {}},
      {"ls *.txt", false, {}},
      {"ls a;b", false, {}},
      {"ls ~", false, {}},
      {"", false, {}},
      {" \t", false, {}},
  };
  for (const Case& c : cases) {
    Words words;
    EXPECT_EQ(os::plainWords(c.line, words), c.plain) << c.line;
    if (c.plain) {
      EXPECT_EQ(words, c.words) << c.line;
    }
  }
}

// A command killed by a signal has its exit code as the shell gives it;
// the signal is told, as the shell tells it, only when no shell stood
// between and it is neither SIGINT nor SIGPIPE, which the shell keeps
// quiet about.
TEST(ShellExitCode, SignalsAreToldAsTheShellTellsThem) {
  struct Case {
    int status;
    bool direct;
    int code;
    const char* report;
  };
  const int killed = SIGKILL, dumped = SIGSEGV | 0x80;
  const Case cases[] = {
      {3 << 8, true, 3, ""},
      {killed, true, 128 + SIGKILL, "Killed\n"},
      {killed, false, 128 + SIGKILL, ""},
      {dumped, true, 128 + SIGSEGV, "Segmentation fault (core dumped)\n"},
      {SIGINT, true, 128 + SIGINT, ""},
      {SIGPIPE, true, 128 + SIGPIPE, ""},
      {SIGTERM, true, 128 + SIGTERM, "Terminated\n"},
  };
  for (const Case& c : cases) {
    std::string report;
    EXPECT_EQ(os::shellExitCode(c.status, c.direct, report), c.code) << c.status;
    EXPECT_EQ(report, c.report) << c.status;
  }
}

}  // namespace
