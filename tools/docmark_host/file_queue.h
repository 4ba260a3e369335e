// The paths from the walk to the jobs. The walk waits while the queue is
// full, so that memory stays flat however many files a tree holds.
#ifndef DOCMARK_HOST_FILE_QUEUE_H
#define DOCMARK_HOST_FILE_QUEUE_H

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

class FileQueue {
 public:
  explicit FileQueue(size_t capacity) : capacity_(capacity) {}

  // False once the queue is stopped: the path is dropped.
  bool Push(std::string path);

  // False once the queue is closed and empty.
  bool Pop(std::string& path);

  void Close();

  // Closes the queue and drops the paths not yet taken.
  void Stop();

 private:
  const size_t capacity_;
  std::mutex lock_;
  std::condition_variable notFull_;
  std::condition_variable notEmpty_;
  std::deque<std::string> paths_;
  bool closed_ = false;
  bool stopped_ = false;
};

#endif
