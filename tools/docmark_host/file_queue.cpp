#include "file_queue.h"

bool FileQueue::Push(std::string path) {
  std::unique_lock<std::mutex> hold(lock_);
  notFull_.wait(hold, [&] { return stopped_ || paths_.size() < capacity_; });
  if (stopped_)
    return false;
  paths_.push_back(std::move(path));
  notEmpty_.notify_one();
  return true;
}

bool FileQueue::Pop(std::string& path) {
  std::unique_lock<std::mutex> hold(lock_);
  notEmpty_.wait(hold, [&] { return closed_ || !paths_.empty(); });
  if (paths_.empty())
    return false;
  path = std::move(paths_.front());
  paths_.pop_front();
  notFull_.notify_one();
  return true;
}

void FileQueue::Close() {
  std::lock_guard<std::mutex> hold(lock_);
  closed_ = true;
  notEmpty_.notify_all();
}

void FileQueue::Stop() {
  std::lock_guard<std::mutex> hold(lock_);
  closed_ = stopped_ = true;
  paths_.clear();
  notEmpty_.notify_all();
  notFull_.notify_all();
}
