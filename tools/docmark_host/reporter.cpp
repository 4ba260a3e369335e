#include "reporter.h"

#include <cstdio>
#include <cstring>

#include "os/console.h"
#include "output_format.h"

namespace {

std::string Duration(double seconds) {
  long long whole = static_cast<long long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600)
    snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  else
    snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  return text;
}

// The progress line's redraws are at least this far apart.
const std::chrono::milliseconds kRedrawEvery(100);

}  // namespace

Reporter::Reporter(const Command& command)
    : command_(command),
      outTerminal_(IsTerminal(Stream::kOut)),
      errTerminal_(IsTerminal(Stream::kErr)),
      progress_(errTerminal_ && !command.quiet),
      start_(std::chrono::steady_clock::now()) {}

Reporter::~Reporter() {
  EndProgress();
}

void Reporter::StartProgress() {
  if (progress_)
    drawer_ = std::thread([this] { DrawProgress(); });
}

void Reporter::Report(const Outcome& outcome, bool isFile) {
  std::string out = ResultText(outcome, command_, outTerminal_);
  bool failed = outcome.result == Result::kFailed;
  std::lock_guard<std::mutex> hold(lock_);
  if (failed || (outTerminal_ && !out.empty()))
    EraseProgress();
  if (!out.empty())
    WriteText(Stream::kOut, out);
  if (failed) {
    WriteText(Stream::kErr, "docmark_host: " + PlainName(outcome.path, errTerminal_) + ": " +
                                outcome.reason.text + "\n");
  }
  files_ += isFile;
  ++counts_[static_cast<int>(outcome.result)];
  changed_ = true;
}

void Reporter::SetTotal(size_t total) {
  std::lock_guard<std::mutex> hold(lock_);
  total_ = total;
  changed_ = true;
}

void Reporter::Finish(const std::string& stop) {
  EndProgress();
  if (command_.quiet)
    return;
  std::string summary = "docmark_host: " + Counts();
  if (!stop.empty())
    summary += " (stopped by " + stop + ")";
  std::lock_guard<std::mutex> hold(lock_);
  WriteText(Stream::kErr, summary + "\n");
}

bool Reporter::anyFailed() {
  std::lock_guard<std::mutex> hold(lock_);
  return Count(Result::kFailed) > 0 || Count(Result::kNotTagged) > 0;
}

std::string Reporter::Counts() const {
  auto count = [&](Result result, const char* name) {
    return std::to_string(Count(result)) + " " + name + ", ";
  };
  std::string text;
  if (command_.name == "check")
    text = count(Result::kTagged, "tagged") + count(Result::kNotTagged, "not tagged");
  else if (command_.name == "read")
    text = count(Result::kRead, "read");
  else
    text = count(Result::kWritten, "tagged") +
           (command_.skipSame ? count(Result::kSkipped, "skipped") : "");
  return text + std::to_string(Count(Result::kFailed)) + " failed";
}

// Stops the drawing and erases the line.
void Reporter::EndProgress() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    ended_ = true;
    end_.notify_all();
  }
  if (drawer_.joinable())
    drawer_.join();
  std::lock_guard<std::mutex> hold(lock_);
  EraseProgress();
}

// Redraws the line when the results have changed it or erased it, at most
// once in kRedrawEvery, until the end.
void Reporter::DrawProgress() {
  std::unique_lock<std::mutex> hold(lock_);
  while (!ended_) {
    if (changed_ || shown_ == 0) {
      EraseProgress();
      ShowProgress();
      changed_ = false;
    }
    end_.wait_for(hold, kRedrawEvery, [this] { return ended_; });
  }
}

void Reporter::EraseProgress() {
  if (shown_ > 0)
    WriteText(Stream::kErr, "\r" + std::string(shown_, ' ') + "\r");
  shown_ = 0;
}

void Reporter::ShowProgress() {
  std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  double rate = elapsed.count() > 0 ? files_ / elapsed.count() : 0;
  char line[160];
  if (total_ > 0 && rate > 0) {
    double left = (total_ > files_ ? total_ - files_ : 0) / rate;
    snprintf(line, sizeof line, "%zu/%zu files, %zu failed, %.1f files/s, %s left", files_, total_,
             Count(Result::kFailed), rate, Duration(left).c_str());
  } else {
    snprintf(line, sizeof line, "%zu files, %zu failed, %.1f files/s", files_,
             Count(Result::kFailed), rate);
  }
  WriteText(Stream::kErr, line);
  shown_ = strlen(line);
}
