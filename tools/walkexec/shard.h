// Sharding a run over several machines: of N runs over the same start
// paths, run K takes the files whose path relative to its start path
// hashes to K modulo N, so that together they take every file once,
// wherever the start paths are mounted.
#ifndef WALKEXEC_SHARD_H
#define WALKEXEC_SHARD_H

#include <cstdint>
#include <string>

struct Shard {
  uint32_t index = 0;
  uint32_t count = 1;

  // Whether the shard takes the file at `path`, whose first `rootLength`
  // characters are its start path and separator.
  bool takes(const std::wstring& path, size_t rootLength) const {
    return count == 1 || pathHash(path.substr(rootLength)) % count == index;
  }

  // FNV-1a, 32 bits, over the path's UTF-16LE bytes with '/' as its
  // separator on every system, so that Windows and POSIX runs agree.
  static uint32_t pathHash(const std::wstring& relativePath);
};

// "K/N" in decimal, with 0 <= K < N; false for anything else.
bool parseShard(const std::wstring& text, Shard& shard);

// K and N of a task of a Slurm job array, from its environment: the task's
// place in the array and the array's size. False outside an array, or in
// one whose task ids are not evenly spaced from its first to its last.
bool slurmShard(Shard& shard);

#endif
