#include <gtest/gtest.h>

#include <string>

#include "intake/alias_files.h"
#include "support/test_support.h"

namespace pravel {
namespace {

// Of several entries whose keys differ only in letter case the last written
// is found, also when the keys are asked for in the order they were written.
TEST(AliasTable, TheLastEntryOfAKeyIsFoundInEveryOrderOfAsking) {
  testing::TempDir dir;
  testing::TestJob test;
  Job& job = test.job;
  job.tempDir = dir.path() + "/";
  job.sourceBases = {"/p", "/q"};
  job.paliasCount = 1;
  testing::WriteFile(AliasFilePath(job, 0),
                     "[palias]\r\na.txt=/p/a.txt\r\nb.txt=/p/b.txt\r\nA.TXT=/q/A.TXT\r\nc.txt=/q/c.txt\r\n");
  AliasTable aliases;
  ASSERT_TRUE(aliases.Load(job));
  EXPECT_EQ(aliases.size(), 3u);
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(aliases.Find("a.txt"), "/q/A.TXT") << round;
    EXPECT_EQ(aliases.Find("b.txt"), "/p/b.txt") << round;
    EXPECT_EQ(aliases.Find("A.TXT"), "/q/A.TXT") << round;
    EXPECT_EQ(aliases.Find("c.txt"), "/q/c.txt") << round;
    EXPECT_EQ(aliases.Find("d.txt"), std::nullopt) << round;
  }
}

}  // namespace
}  // namespace pravel
