/* Times whole writes through a docmark library loaded at run time, so that
   one host times every build alike:
     docmark_write_time LIBRARY FILE COUNT [PRISTINE]
   writes the tag COUNT times into FILE, each time with other settings, and
   prints the seconds of each write on a line of its own. With PRISTINE, each
   write is a first tag: PRISTINE is copied over FILE before it, untimed. */
#define _POSIX_C_SOURCE 200809L
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <docmark/docmark.h>

typedef bool (*WriteFunction)(const DocmarkPathChar*, const PDFSettingsInfo*, bool);

static double Now(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

static int CopyFile(const char* from, const char* to) {
  FILE* in = fopen(from, "rb");
  FILE* out = in ? fopen(to, "wb") : NULL;
  char block[1 << 16];
  size_t got;
  int ok = in && out;
  while (ok && (got = fread(block, 1, sizeof block, in)) > 0)
    ok = fwrite(block, 1, got, out) == got;
  if (in)
    fclose(in);
  if (out && fclose(out) != 0)
    ok = 0;
  return ok;
}

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: %s LIBRARY FILE COUNT [PRISTINE]\n", argv[0]);
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW);
  WriteFunction write = library ? (WriteFunction)dlsym(library, "VTPDFTagWrite") : NULL;
  if (!write) {
    fprintf(stderr, "%s: %s\n", argv[0], dlerror());
    return 1;
  }
  /* The file's name as UTF-16: the benchmark's names are ASCII. */
  size_t length = strlen(argv[2]);
  DocmarkPathChar* path = calloc(length + 1, sizeof *path);
  for (size_t i = 0; path && i < length; ++i)
    path[i] = (DocmarkPathChar)(unsigned char)argv[2][i];
  int count = atoi(argv[3]);
  for (int i = 0; path && i < count; ++i) {
    if (argc > 4 && !CopyFile(argv[4], argv[2])) {
      fprintf(stderr, "%s: cannot copy %s\n", argv[0], argv[4]);
      return 1;
    }
    PDFSettingsInfo settings = {i % 16, 1000 + i, false, true, false};
    double start = Now();
    if (!write(path, &settings, true)) {
      fprintf(stderr, "%s: the write failed\n", argv[0]);
      return 1;
    }
    printf("%.6f\n", Now() - start);
  }
  free(path);
  return 0;
}
