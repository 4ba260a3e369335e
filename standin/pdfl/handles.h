// The live objects of one kind that the library has handed out. A handle the
// library does not know raises instead of being followed. The table is the
// process's, so every use takes its lock; each object belongs to the thread
// that made it, so that the library's end on one thread leaves the objects of
// threads still at work.
#ifndef PDFL_HANDLES_H
#define PDFL_HANDLES_H

#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "errors.h"

namespace pdfl {

template <typename T>
class Handles {
 public:
  T* Add(std::unique_ptr<T> object) {
    T* handle = object.get();
    std::lock_guard<std::mutex> hold(lock_);
    objects_[handle] = {std::this_thread::get_id(), std::move(object)};
    return handle;
  }

  T& Get(T* handle) const {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = objects_.find(handle);
    if (it == objects_.end())
      Fail(kPDFLErrBadParameter);
    return *it->second.object;
  }

  void Remove(T* handle) {
    std::unique_ptr<T> object;
    {
      std::lock_guard<std::mutex> hold(lock_);
      auto it = objects_.find(handle);
      if (it == objects_.end())
        Fail(kPDFLErrBadParameter);
      object = std::move(it->second.object);
      objects_.erase(it);
    }
  }

  // Removes every object the calling thread made; they are destroyed after
  // the lock is released.
  void ClearThread() {
    std::vector<std::unique_ptr<T>> objects;
    std::lock_guard<std::mutex> hold(lock_);
    for (auto it = objects_.begin(); it != objects_.end();) {
      if (it->second.thread == std::this_thread::get_id()) {
        objects.push_back(std::move(it->second.object));
        it = objects_.erase(it);
      } else {
        ++it;
      }
    }
  }

 private:
  struct Owned {
    std::thread::id thread;
    std::unique_ptr<T> object;
  };

  mutable std::mutex lock_;
  std::map<T*, Owned> objects_;
};

}  // namespace pdfl

#endif
