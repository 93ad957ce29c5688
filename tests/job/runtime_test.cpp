#include "job/runtime.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace pravel {
namespace {

using namespace testing;

TEST(CreateFileChecked, AcceptsOnlyTheAllowedCharacterSet) {
  EXPECT_TRUE(IsCreatablePath("/tmp/A z_09!%&'()*+,-.;<=>?\\\":"));
  for (char c : std::string("#$[]^{|}~`@\t")) EXPECT_FALSE(IsCreatablePath(std::string("/tmp/a") + c)) << c;
  EXPECT_FALSE(IsCreatablePath("/tmp/\xC3\xA9"));
}

TEST(CreateFileChecked, CreatesAndTruncatesAndARefusedPathCreatesNothing) {
  TempDir dir;
  for (const char* refused : {"LONGNA~1.TXT", "a#b"}) {
    EXPECT_FALSE(CreateFileChecked(dir / refused));
    EXPECT_FALSE(Exists(dir / refused));
  }
  testing::WriteFile(dir / "f.txt", "old content");
  EXPECT_TRUE(CreateFileChecked(dir / "f.txt"));
  EXPECT_EQ(testing::ReadFile(dir / "f.txt"), "");
  EXPECT_FALSE(CreateFileChecked(dir / "missing/f.txt"));
}

TEST(Runtime, TheStatusLineIsCutToItsField) {
  testing::TestJob t;
  ShowStatus(t.job, std::string(200, 'x'));
  EXPECT_EQ(t.job.statusText.size(), capacity::kStatusText - 1);
  EXPECT_EQ(t.ui.statusLines.size(), 1u);
}

}  // namespace
}  // namespace pravel
