#include "held_output.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace {

// The descriptors of this process open on files in `directory`.
int filesOpenIn(const std::string& directory) {
  int count = 0;
  DIR* fds = opendir("/proc/self/fd");
  while (struct dirent* entry = fds ? readdir(fds) : nullptr) {
    char target[4096];
    std::string link = std::string("/proc/self/fd/") + entry->d_name;
    ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, n).compare(0, directory.size(), directory) == 0)
      ++count;
  }
  if (fds)
    closedir(fds);
  return count;
}

// Output beyond what memory holds goes through a real temporary file, as
// the budget allows, and comes back whole and in order; what finds no file
// stays in memory. The file is given back to the budget once written.
TEST(HeldOutput, SpillsIntoATemporaryFileAndWritesEverythingBackInOrder) {
  char dir[] = "/tmp/held_output_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  setenv("TMPDIR", dir, 1);
  std::string data;
  for (int i = 0; data.size() < 300 * 1000; ++i)
    data += std::to_string(i) + ",";

  os::FileBudget budget(1);
  os::HeldOutput spilled(budget), inMemory(budget);
  for (size_t at = 0; at < data.size(); at += 10000) {
    spilled.append(data.data() + at, std::min<size_t>(10000, data.size() - at));
    inMemory.append(data.data() + at, std::min<size_t>(10000, data.size() - at));
  }
  EXPECT_EQ(filesOpenIn(dir), 1);
  EXPECT_FALSE(budget.take());

  const std::string out = std::string(dir) + "/out";
  int saved = dup(1);
  int file = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(file, 0);
  ASSERT_EQ(dup2(file, 1), 1);
  os::OutputLoss loss;
  int error = 0;
  bool whole = spilled.writeTo(1, loss, error) && inMemory.writeTo(1, loss, error);
  dup2(saved, 1);
  close(saved);
  close(file);
  EXPECT_TRUE(whole);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(loss.what, os::OutputLoss::kNothing);
  EXPECT_EQ(filesOpenIn(dir), 0);
  std::ifstream in(out, std::ios::binary);
  EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == data + data);
  EXPECT_TRUE(budget.take());

  unsetenv("TMPDIR");
  EXPECT_EQ(system(("rm -rf '" + std::string(dir) + "'").c_str()), 0);
}

}  // namespace
