// For the end-to-end tests under Wine: holds a file open as an editor or a
// viewer may, sharing read and write but not delete, until its standard
// input ends. Says "held" once the file is open.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t* argv[]) {
  if (argc != 2)
    return 2;
  HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return 1;
  printf("held\n");
  fflush(stdout);
  while (getchar() != EOF) {
  }
  CloseHandle(file);
  return 0;
}
