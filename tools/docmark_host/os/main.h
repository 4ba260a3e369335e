// The program's entry: main on POSIX, wmain on Windows.
#ifndef DOCMARK_HOST_OS_MAIN_H
#define DOCMARK_HOST_OS_MAIN_H

// The host itself, on its arguments as UTF-8 (on POSIX the bytes they are).
int HostMain(int argc, char* argv[]);

#endif
