// The docmark library, loaded at run time as a host loads it, with its three
// functions bound by name.
#ifndef DOCMARK_HOST_DOCMARK_LIBRARY_H
#define DOCMARK_HOST_DOCMARK_LIBRARY_H

#include <string>

#include "docmark/docmark.h"

class DocmarkLibrary {
 public:
  DocmarkLibrary();
  ~DocmarkLibrary();
  DocmarkLibrary(const DocmarkLibrary&) = delete;
  DocmarkLibrary& operator=(const DocmarkLibrary&) = delete;

  bool loaded() const { return isAlreadyOptimized && read && write; }
  // Why it is not loaded.
  const std::string& error() const { return error_; }

  decltype(&VTPDFTagIsAlreadyOptimized) isAlreadyOptimized = nullptr;
  decltype(&VTPDFTagRead) read = nullptr;
  decltype(&VTPDFTagWrite) write = nullptr;

 private:
  template <class Function>
  void Bind(Function& function, const char* name);

  void* handle_ = nullptr;
  std::string error_;
};

// The path of an argument as the library takes it: names that are not
// UTF-8 still reach the library intact.
std::basic_string<DocmarkPathChar> LibraryPath(const std::string& argument);

#endif
