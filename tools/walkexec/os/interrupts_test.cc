#include "interrupts.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace {

// The process's signals are taken over in a child of its own, which then
// says how it fared: by its exit status or by the signal that ended it,
// and in `told` what it wrote to the descriptor it is given.
int inChild(const std::function<void(int)>& body, std::string* told = nullptr) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0)
    return -1;
  pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    body(pipeFds[1]);
    _exit(0);
  }
  close(pipeFds[1]);
  char buffer[64];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
    if (told)
      told->append(buffer, static_cast<size_t>(n));
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

bool endedBy(int status, int signo) {
  return WIFSIGNALED(status) && WTERMSIG(status) == signo;
}

TEST(Interrupts, AnInterruptWaitsForPendingResultsThenEndsTheProcessByItself) {
  for (int signo : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) {
    std::string told;
    int status = inChild(
        [signo](int fd) {
          os::Interrupts interrupts;
          interrupts.resultsPending();
          kill(getpid(), signo);
          if (interrupts.interrupted() && write(fd, "waited", 6) != 6)
            _exit(2);
          interrupts.resultsWritten();
          interrupts.endProcess();
        },
        &told);
    EXPECT_EQ(told, "waited") << strsignal(signo);
    EXPECT_TRUE(endedBy(status, signo)) << strsignal(signo) << ": status " << status;

    status = inChild([signo](int) {
      os::Interrupts interrupts;
      kill(getpid(), signo);
      _exit(3);  // Not reached: with nothing pending the signal ends us.
    });
    EXPECT_TRUE(endedBy(status, signo)) << strsignal(signo) << ": status " << status;
  }
}

// A signal ignored from the start stays ignored; a closed pipe no longer
// ends the process; and every disposition comes back as it was.
TEST(Interrupts, IgnoredSignalsStayIgnoredAndAllComeBackAsTheyWere) {
  int status = inChild([](int) {
    signal(SIGTERM, SIG_IGN);
    {
      os::Interrupts interrupts;
      kill(getpid(), SIGTERM);
      raise(SIGPIPE);
      if (interrupts.interrupted())
        _exit(2);
    }
    struct sigaction term, interrupt, pipe;
    sigaction(SIGTERM, nullptr, &term);
    sigaction(SIGINT, nullptr, &interrupt);
    sigaction(SIGPIPE, nullptr, &pipe);
    _exit(term.sa_handler == SIG_IGN && interrupt.sa_handler == SIG_DFL &&
                  pipe.sa_handler == SIG_DFL
              ? 0
              : 4);
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
