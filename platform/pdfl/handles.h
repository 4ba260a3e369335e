// The live objects of one kind that the library has handed out. A handle the
// library does not know raises instead of being followed. The table is the
// process's, so every use takes its lock.
#ifndef PDFL_HANDLES_H
#define PDFL_HANDLES_H

#include <map>
#include <memory>
#include <mutex>

#include "errors.h"

namespace pdfl {

template <typename T>
class Handles {
 public:
  T* Add(std::unique_ptr<T> object) {
    T* handle = object.get();
    std::lock_guard<std::mutex> hold(lock_);
    objects_[handle] = std::move(object);
    return handle;
  }

  T& Get(T* handle) const {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = objects_.find(handle);
    if (it == objects_.end())
      Fail(kPDFLErrBadParameter);
    return *it->second;
  }

  void Remove(T* handle) {
    std::unique_ptr<T> object;
    {
      std::lock_guard<std::mutex> hold(lock_);
      auto it = objects_.find(handle);
      if (it == objects_.end())
        Fail(kPDFLErrBadParameter);
      object = std::move(it->second);
      objects_.erase(it);
    }
  }

  void Clear() {
    std::map<T*, std::unique_ptr<T>> objects;
    std::lock_guard<std::mutex> hold(lock_);
    objects.swap(objects_);
  }

 private:
  mutable std::mutex lock_;
  std::map<T*, std::unique_ptr<T>> objects_;
};

}  // namespace pdfl

#endif
