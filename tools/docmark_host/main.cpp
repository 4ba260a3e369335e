// docmark_host: a sample host program for docmark. It loads the library at
// run time, as a host does, binds its three functions by name, and checks,
// reads or writes the optimisation tag of the PDF files on its command line
// and under the directories there, several at once in one process with -j.
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

#include "command_line.h"
#include "docmark_library.h"
#include "file_command.h"
#include "file_queue.h"
#include "file_walk.h"
#include "os/console.h"
#include "os/main.h"
#include "os/stop_requests.h"
#include "reporter.h"

namespace {

void JoinAll(std::vector<std::thread>& threads) {
  for (std::thread& thread : threads)
    thread.join();
}

// The jobs, each taking paths from the queue until it is closed; and, for
// the progress line, a walk of its own that counts the files, running ahead
// of the one that feeds the jobs. False, all joined, when they cannot start.
bool StartThreads(const DocmarkLibrary& docmark, const Command& command, FileQueue& queue,
                  Reporter& reporter, const std::atomic<bool>& stopped,
                  std::vector<std::thread>& threads) {
  try {
    reporter.StartProgress();
    for (int i = 0; i < command.jobs; ++i) {
      threads.emplace_back([&] {
        for (std::string path; queue.Pop(path);)
          reporter.Report(RunOnFile(docmark, command, path), true);
      });
    }
    if (reporter.showsProgress()) {
      threads.emplace_back([&] {
        size_t total = 0;
        WalkPaths(
            command.paths, [&](const std::string&) { return ++total, !stopped; },
            [](const std::string&, const FileCheck&) {});
        if (!stopped)
          reporter.SetTotal(total);
      });
    }
  } catch (const std::system_error& e) {
    WriteText(Stream::kErr, "docmark_host: cannot start " + std::to_string(command.jobs) +
                                " jobs: " + e.what() + "\n");
    queue.Stop();
    JoinAll(threads);
    return false;
  }
  return true;
}

// Hands every file of the paths to the jobs, and names each directory that
// cannot be read.
void Feed(const Command& command, FileQueue& queue, Reporter& reporter) {
  WalkPaths(
      command.paths, [&](const std::string& path) { return queue.Push(path); },
      [&](const std::string& directory, const FileCheck& error) {
        reporter.Report(Failed(directory, SystemReason(error)), false);
      });
}

// Runs the command on every file of the paths, `jobs` files at once. A
// request to stop lets the files in hand finish and drops the rest.
int RunAll(const DocmarkLibrary& docmark, const Command& command) {
  FileQueue queue(4 * static_cast<size_t>(command.jobs));
  Reporter reporter(command);
  std::atomic<bool> stopped{false};
  std::vector<std::thread> threads;
  try {
    StopRequests stops([&] {
      stopped = true;
      queue.Stop();
    });
    if (!StartThreads(docmark, command, queue, reporter, stopped, threads))
      return kCannotRun;
    Feed(command, queue, reporter);
    queue.Close();
    JoinAll(threads);
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

}  // namespace

int HostMain(int argc, char* argv[]) {
  Command command;
  int exitStatus;
  if (!ParseCommandLine(argc, argv, command, exitStatus))
    return exitStatus;
  DocmarkLibrary docmark;
  if (!docmark.loaded()) {
    WriteText(Stream::kErr, "docmark_host: cannot load docmark: " + docmark.error() + "\n");
    return kCannotRun;
  }
  return RunAll(docmark, command);
}
