#include "console.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

#include "utf8.h"
#include "win_console.h"

bool IsTerminal(Stream stream) {
  return _isatty(_fileno(stream == Stream::kOut ? stdout : stderr)) != 0;
}

// A console is given the text as UTF-16, which it shows whatever its code
// page; a file or a pipe gets the UTF-8 itself.
void WriteText(Stream stream, const std::string& text) {
  FILE* file = stream == Stream::kOut ? stdout : stderr;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  fflush(file);
  if (winconsole::Write(handle, utf8::DecodeLossless<std::wstring>(text)))
    return;
  if (fwrite(text.data(), 1, text.size(), file) == text.size())
    fflush(file);
}
