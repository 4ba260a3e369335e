// Writes each result as its file ends, and on a terminal keeps a progress
// line on standard error below them, redrawn at most ten times a second; a
// summary at the end.
#ifndef DOCMARK_HOST_REPORTER_H
#define DOCMARK_HOST_REPORTER_H

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "command_line.h"
#include "file_command.h"

class Reporter {
 public:
  explicit Reporter(const Command& command);
  ~Reporter();
  Reporter(const Reporter&) = delete;
  Reporter& operator=(const Reporter&) = delete;

  bool showsProgress() const { return progress_; }

  // Starts the thread that draws the progress line; throws std::system_error
  // when it cannot.
  void StartProgress();

  // One result; `isFile` is false for a directory that could not be read.
  void Report(const Outcome& outcome, bool isFile);

  // The number of files the walk will give, once it has counted them.
  void SetTotal(size_t total);

  // Replaces the progress line with the summary; `stop` names the request
  // that stopped the run, if one did.
  void Finish(const std::string& stop);

  // For check, an untagged file counts too.
  bool anyFailed();

 private:
  size_t Count(Result result) const { return counts_[static_cast<int>(result)]; }
  std::string Counts() const;
  void EndProgress();
  void DrawProgress();
  void EraseProgress();
  void ShowProgress();

  const Command& command_;
  const bool outTerminal_;
  const bool errTerminal_;
  const bool progress_;
  const std::chrono::steady_clock::time_point start_;
  std::mutex lock_;
  size_t files_ = 0;
  size_t total_ = 0;  // 0 until the walk has counted the files
  size_t counts_[static_cast<int>(Result::kFailed) + 1] = {};
  size_t shown_ = 0;      // the length of the progress line on the terminal
  bool changed_ = false;  // since the progress line was drawn
  bool ended_ = false;
  std::condition_variable end_;
  std::thread drawer_;
};

#endif
