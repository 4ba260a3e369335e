#include "console.h"

#include <unistd.h>

#include <cstdio>

bool IsTerminal(Stream stream) {
  return isatty(stream == Stream::kOut ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

void WriteText(Stream stream, const std::string& text) {
  FILE* file = stream == Stream::kOut ? stdout : stderr;
  // A closed pipe ends nothing here: the files in hand still finish.
  if (fwrite(text.data(), 1, text.size(), file) == text.size())
    fflush(file);
}
