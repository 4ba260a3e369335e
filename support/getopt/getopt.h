// Wide-character getopt with GNU's permutation: options may come before,
// between or after the operands; the operands are moved behind the options
// in their own order, so that once it returns -1 they run from optind to
// the end. "--" ends the options: every word after it is an operand. An
// option's argument is attached or the next word; an unknown option or a
// missing argument returns '?' after a one-line diagnostic.
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
// `argv` is reordered as the options are read.
GETOPT_API int getopt_w(int argc, wchar_t* argv[], const wchar_t* options);
GETOPT_API extern wchar_t* optarg_w;
// On POSIX this is the C library's own optind, so that nothing interposes it.
#ifdef _WIN32
GETOPT_API extern int optind;
#else
extern int optind;
#endif
}

#endif
