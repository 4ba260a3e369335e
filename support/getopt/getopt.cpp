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

bool isOption(const wchar_t* word) {
  return word[0] == L'-' && word[1] != L'\0';
}

bool isEnd(const wchar_t* word) {
  return wcscmp(word, L"--") == 0;
}

// How many words the option word at `at` takes: two when its last option
// wants an argument that is not attached to it, none when that argument is
// missing.
int optionWords(int argc, wchar_t* const argv[], int at, const wchar_t* options) {
  for (const wchar_t* letter = argv[at] + 1; *letter; ++letter) {
    const wchar_t* entry = *letter == L':' ? nullptr : wcschr(options, *letter);
    if (entry && entry[1] == L':')
      return letter[1] != L'\0' ? 1 : at + 1 < argc ? 2 : 0;
  }
  return 1;
}

// Moves the `count` words at `from` to `to`, the words between shifting
// behind them in their order.
void moveWords(wchar_t* argv[], int from, int count, int to) {
  for (int moved = 0; moved < count; ++moved) {
    wchar_t* word = argv[from + moved];
    for (int at = from + moved; at > to + moved; --at)
      argv[at] = argv[at - 1];
    argv[to + moved] = word;
  }
}

// Brings the next option word (or "--") after the operands at optind to
// optind, with its argument; false when only operands are left. An option
// whose argument is missing stays where it is, so that no operand is taken
// for that argument.
bool nextOptionFirst(int argc, wchar_t* argv[], const wchar_t* options) {
  int at = optind;
  while (at < argc && !isOption(argv[at]))
    ++at;
  if (at == argc)
    return false;
  int count = isEnd(argv[at]) ? 1 : optionWords(argc, argv, at, options);
  if (count == 0)
    optind = at;
  else
    moveWords(argv, at, count, optind);
  return true;
}

}  // namespace

int getopt_w(int argc, wchar_t* argv[], const wchar_t* options) {
  optarg_w = nullptr;
  if (nextChar == 0) {
    if (optind >= argc || (!isOption(argv[optind]) && !nextOptionFirst(argc, argv, options)))
      return -1;
    if (isEnd(argv[optind])) {
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
