#include "console.h"

#include <unistd.h>

#include <cstdio>

bool ErrorIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

void WriteText(Stream stream, const std::string& text) {
  FILE* file = stream == Stream::kOut ? stdout : stderr;
  // A closed pipe ends nothing here: the files in hand still finish.
  if (fwrite(text.data(), 1, text.size(), file) == text.size())
    fflush(file);
}
