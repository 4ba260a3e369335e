#include "getopt.h"

#include <cstdio>
#include <cwchar>

wchar_t* optarg_w = nullptr;
#ifdef _WIN32
int optind = 1;
#endif

namespace {
// Position inside a word of grouped options such as "-ab".
int nextChar = 0;
}

int getopt_w(int argc, wchar_t* const argv[], const wchar_t* options) {
  optarg_w = nullptr;
  if (nextChar == 0) {
    if (optind >= argc || argv[optind][0] != L'-' || argv[optind][1] == L'\0') return -1;
    if (wcscmp(argv[optind], L"--") == 0) {
      ++optind;
      return -1;
    }
    nextChar = 1;
  }
  const wchar_t* word = argv[optind];
  wchar_t letter = word[nextChar++];
  const wchar_t* entry = letter == L':' ? nullptr : wcschr(options, letter);
  bool lastInWord = word[nextChar] == L'\0';
  if (!entry) {
    fprintf(stderr, "%ls: illegal option -- %lc\n", argv[0], letter);
    if (lastInWord) {
      ++optind;
      nextChar = 0;
    }
    return L'?';
  }
  if (entry[1] != L':') {
    if (lastInWord) {
      ++optind;
      nextChar = 0;
    }
    return letter;
  }
  int argumentAt = nextChar;
  nextChar = 0;
  if (!lastInWord) {
    optarg_w = argv[optind++] + argumentAt;
    return letter;
  }
  if (optind + 1 >= argc) {
    fprintf(stderr, "%ls: option requires an argument -- %lc\n", argv[0], letter);
    ++optind;
    return L'?';
  }
  optarg_w = argv[optind + 1];
  optind += 2;
  return letter;
}
