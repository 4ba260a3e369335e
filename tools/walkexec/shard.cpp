#include "shard.h"

#include <cstdlib>
#include <cstring>

#include "directory_search.h"
#include "text.h"

namespace {

// Plain decimal digits that fit 32 bits.
bool parseNumber(const std::wstring& text, uint32_t& number) {
  if (text.empty() || text.size() > 10)
    return false;
  uint64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9')
      return false;
    value = value * 10 + (c - L'0');
  }
  if (value > UINT32_MAX)
    return false;
  number = static_cast<uint32_t>(value);
  return true;
}

bool environmentNumber(const char* name, uint32_t& number) {
  const char* value = getenv(name);
  if (!value)
    return false;
  return parseNumber(std::wstring(value, value + strlen(value)), number);
}

}  // namespace

uint32_t Shard::pathHash(const std::wstring& relativePath) {
  std::wstring path = relativePath;
  for (wchar_t& c : path)
    if (c == os::kPathSeparator)
      c = L'/';
  uint32_t hash = 2166136261u;
  for (unsigned char byte : os::utf16leBytes(path)) {
    hash ^= byte;
    hash *= 16777619u;
  }
  return hash;
}

bool parseShard(const std::wstring& text, Shard& shard) {
  size_t slash = text.find(L'/');
  if (slash == std::wstring::npos)
    return false;
  return parseNumber(text.substr(0, slash), shard.index) &&
         parseNumber(text.substr(slash + 1), shard.count) && shard.index < shard.count;
}

// Every task of the array sees the same MIN, MAX, STEP and COUNT, so every
// task refuses an array whose ids are not MIN, MIN + STEP, ..., MAX: a list
// such as 1,3,5 (step 1) would otherwise leave shards to no task.
bool slurmShard(Shard& shard) {
  uint32_t id, first, last, step = 1;
  if (!environmentNumber("SLURM_ARRAY_TASK_ID", id) ||
      !environmentNumber("SLURM_ARRAY_TASK_MIN", first) ||
      !environmentNumber("SLURM_ARRAY_TASK_MAX", last) ||
      !environmentNumber("SLURM_ARRAY_TASK_COUNT", shard.count))
    return false;
  if (getenv("SLURM_ARRAY_TASK_STEP") && !environmentNumber("SLURM_ARRAY_TASK_STEP", step))
    return false;
  if (step == 0 || last < first || (last - first) % step != 0 ||
      (last - first) / step + 1 != shard.count)
    return false;
  if (id < first || id > last || (id - first) % step != 0)
    return false;
  shard.index = (id - first) / step;
  return true;
}
