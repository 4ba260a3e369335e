// Wide-character getopt with POSIX rules: options end at the first operand
// or at "--"; an option's argument is attached or the next word; an unknown
// option or a missing argument returns '?' after a one-line diagnostic.
#ifndef GETOPT_GETOPT_H
#define GETOPT_GETOPT_H

#if defined(_WIN32) && defined(GETOPT_BUILD)
#define GETOPT_API __declspec(dllexport)
#elif defined(_WIN32)
#define GETOPT_API __declspec(dllimport)
#else
#define GETOPT_API __attribute__((visibility("default")))
#endif

extern "C" {
GETOPT_API int getopt_w(int argc, wchar_t* const argv[], const wchar_t* options);
GETOPT_API extern wchar_t* optarg_w;
// On POSIX this is the C library's own optind, so that nothing interposes it.
#ifdef _WIN32
GETOPT_API extern int optind;
#else
extern int optind;
#endif
}

#endif
