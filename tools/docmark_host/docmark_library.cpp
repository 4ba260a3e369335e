#include "docmark_library.h"

#include "os/dynamic_library.h"
#include "utf8.h"

DocmarkLibrary::DocmarkLibrary() {
  handle_ = OpenDocmark(error_);
  if (!handle_)
    return;
  Bind(isAlreadyOptimized, "VTPDFTagIsAlreadyOptimized");
  Bind(read, "VTPDFTagRead");
  Bind(write, "VTPDFTagWrite");
}

DocmarkLibrary::~DocmarkLibrary() {
  if (handle_)
    CloseDocmark(handle_);
}

template <class Function>
void DocmarkLibrary::Bind(Function& function, const char* name) {
  function = reinterpret_cast<Function>(FindFunction(handle_, name));
  if (!function)
    error_ = std::string(kDocmarkName) + " has no function " + name;
}

std::basic_string<DocmarkPathChar> LibraryPath(const std::string& argument) {
  return utf8::DecodeLossless<std::basic_string<DocmarkPathChar>>(argument);
}
