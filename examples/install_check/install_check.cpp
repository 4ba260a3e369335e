// A host linked against libdocmark at build time: tells whether tagged.pdf in
// the current directory carries a valid tag, and reads it back.
#include <cstdio>

#include <docmark/docmark.h>

int main() {
  const DocmarkPathChar path[] = u"tagged.pdf";
  PDFSettingsInfo settings;
  PDFVersionInfo version;
  int64_t size = 0;
  if (!VTPDFTagIsAlreadyOptimized(path) || !VTPDFTagRead(path, &settings, &size, &version)) {
    puts("not tagged");
    return 1;
  }
  printf("tagged by %d.%d.%d\n", version.major, version.minor, version.build);
  return 0;
}
