// The live objects of one kind that the library has handed out. A handle the
// library does not know raises instead of being followed.
#ifndef PDFL_HANDLES_H
#define PDFL_HANDLES_H

#include <map>
#include <memory>

#include "errors.h"

namespace pdfl {

template <typename T>
class Handles {
 public:
  T* Add(std::unique_ptr<T> object) {
    T* handle = object.get();
    objects_[handle] = std::move(object);
    return handle;
  }

  T& Get(T* handle) const {
    auto it = objects_.find(handle);
    if (it == objects_.end())
      Fail(kPDFLErrBadParameter);
    return *it->second;
  }

  void Remove(T* handle) {
    if (objects_.erase(handle) == 0)
      Fail(kPDFLErrBadParameter);
  }

  void Clear() { objects_.clear(); }

 private:
  std::map<T*, std::unique_ptr<T>> objects_;
};

}  // namespace pdfl

#endif
