/* A host in C linked against libdocmark at build time: tags c.pdf in the
   current directory and reads the tag back. */
#include <stdio.h>

#include <docmark/docmark.h>

int main(void) {
  const DocmarkPathChar path[] = u"c.pdf";
  PDFSettingsInfo settings = {3, 1200, false, true, false};
  PDFVersionInfo version;
  int64_t size = 0;
  if (!VTPDFTagWrite(path, &settings, true) || !VTPDFTagRead(path, &settings, &size, &version)) {
    puts("not tagged");
    return 1;
  }
  printf("tagged by %d.%d.%d with mode %d\n", (int)version.major, (int)version.minor,
         (int)version.build, (int)settings.mode);
  return 0;
}
