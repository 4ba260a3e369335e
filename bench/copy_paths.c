/* Which way each first tag saves a file, through a docmark library loaded at
   run time over the stand-in's testing build, whose counts say how many
   saves copied the file's bytes:
     copy_paths LIBRARY FILE...
   tags each FILE in place and prints "COPIES SIZE-BEFORE SIZE-AFTER FILE"
   for it. The run needs the testing build where docmark looks for the
   stand-in (docmark_paths_bench.sh links it there). */
#define _POSIX_C_SOURCE 200809L
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <docmark/docmark.h>

typedef bool (*WriteFunction)(const DocmarkPathChar*, const PDFSettingsInfo*, bool);
/* pdfl_testing::GetCounts(): starts, ends, opens, closes, saves, copies and
   what later builds add, returned in memory the caller gives. */
typedef struct {
  int count[16];
} Counts;
typedef Counts (*CountsFunction)(void);

static long long SizeOf(const char* path) {
  struct stat status;
  return stat(path, &status) == 0 ? (long long)status.st_size : -1;
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s LIBRARY FILE...\n", argv[0]);
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_GLOBAL);
  WriteFunction write = library ? (WriteFunction)dlsym(library, "VTPDFTagWrite") : NULL;
  CountsFunction counts =
      write ? (CountsFunction)dlsym(RTLD_DEFAULT, "_ZN12pdfl_testing9GetCountsEv") : NULL;
  if (!counts) {
    fprintf(stderr, "%s: %s\n", argv[0], dlerror());
    return 1;
  }
  for (int i = 2; i < argc; ++i) {
    /* The file's name as UTF-16: the corpus's names are ASCII. */
    size_t length = strlen(argv[i]);
    DocmarkPathChar* path = calloc(length + 1, sizeof *path);
    for (size_t c = 0; path && c < length; ++c)
      path[c] = (DocmarkPathChar)(unsigned char)argv[i][c];
    long long before = SizeOf(argv[i]);
    int copies = counts().count[5];
    PDFSettingsInfo settings = {3, 1200, false, true, false};
    bool written = path && write(path, &settings, true);
    printf("%d %lld %lld %s\n", written ? counts().count[5] - copies : -1, before, SizeOf(argv[i]),
           argv[i]);
    free(path);
  }
  return 0;
}
