#include "shard.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(Shard, TakesKOfNInPlainDecimalOnly) {
  struct Case {
    const wchar_t* text;
    bool taken;
  };
  const Case cases[] = {
      {L"0/1", true},          {L"2/3", true},           {L"3/3", false},
      {L"1/0", false},         {L"-1/2", false},         {L"1", false},
      {L"1/2/3", false},       {L" 1/2", false},         {L"/2", false},
      {L"0/4294967295", true}, {L"0/4294967296", false}, {L"0/99999999999", false}};
  for (const Case& c : cases) {
    Shard shard;
    EXPECT_EQ(parseShard(c.text, shard), c.taken) << c.text;
  }
}

// A task's place in an evenly spaced array; anything else is refused,
// whatever task asks.
TEST(Shard, SlurmArraysMustBeEvenlySpacedAndHoldTheTask) {
  struct Case {
    const char* id;
    const char* step;  // Null: unset.
    bool taken;
    uint32_t index;
  };
  // MIN 5, MAX 11, COUNT 4.
  const Case cases[] = {{"7", "2", true, 1},   {"11", "2", true, 3}, {"6", "2", false, 0},
                        {"13", "2", false, 0}, {"7", "0", false, 0}, {"7", nullptr, false, 0},
                        {"7", "x", false, 0}};
  setenv("SLURM_ARRAY_TASK_MIN", "5", 1);
  setenv("SLURM_ARRAY_TASK_MAX", "11", 1);
  setenv("SLURM_ARRAY_TASK_COUNT", "4", 1);
  for (const Case& c : cases) {
    setenv("SLURM_ARRAY_TASK_ID", c.id, 1);
    if (c.step)
      setenv("SLURM_ARRAY_TASK_STEP", c.step, 1);
    else
      unsetenv("SLURM_ARRAY_TASK_STEP");
    Shard shard;
    EXPECT_EQ(slurmShard(shard), c.taken) << c.id << " step " << (c.step ? c.step : "unset");
    if (c.taken) {
      EXPECT_EQ(shard.index, c.index) << c.id;
      EXPECT_EQ(shard.count, 4u);
    }
  }
  unsetenv("SLURM_ARRAY_TASK_MIN");
  Shard shard;
  EXPECT_FALSE(slurmShard(shard));
  for (const char* name : {"SLURM_ARRAY_TASK_ID", "SLURM_ARRAY_TASK_MAX", "SLURM_ARRAY_TASK_COUNT",
                           "SLURM_ARRAY_TASK_STEP"})
    unsetenv(name);
}

}  // namespace
