#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "command_runner.h"
#include "spawn_testing.h"

namespace {

// A stop that comes while commands are being started beats every one of
// them: none runs, each is told as stopped first, and the runner is left
// to end the process by the signal.
TEST(CommandRunner, AStopDuringAStartBeatsIt) {
  char dir[] = "/tmp/command_runner_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string ran = std::string(dir) + "/ran";
  os::testing::delayStarts(300);
  {
    os::CommandRunner runner(4);
    for (const char* line : {"touch ", "echo >"}) {
      for (int i = 0; i < 2; ++i) {
        std::string command = line + ran + std::to_string(i);
        ASSERT_GE(runner.start(std::wstring(command.begin(), command.end())), 0);
      }
    }
    usleep(100 * 1000);
    ASSERT_EQ(kill(getpid(), SIGTERM), 0);
    for (int i = 0; i < 4; ++i) {
      int exitCode = 0;
      bool started = true;
      int number = runner.wait(exitCode, started);
      ASSERT_GE(number, 0);
      EXPECT_FALSE(started);
      EXPECT_EQ(runner.startError(), L"");
      os::OutputLoss loss;
      EXPECT_TRUE(runner.writeOutput(number, loss));
    }
    EXPECT_TRUE(runner.interrupts().interrupted());
  }
  os::testing::delayStarts(0);
  EXPECT_EQ(system(("ls " + std::string(dir) + " | grep -q ran").c_str()) == 0, false);
  EXPECT_EQ(system(("rm -rf '" + std::string(dir) + "'").c_str()), 0);
}

}  // namespace
