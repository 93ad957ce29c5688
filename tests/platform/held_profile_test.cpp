// Held appends: a file only this process writes gathers its new lines in
// memory and must end up byte for byte as if every write had gone to disk.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/profile.h"
#include "support/test_support.h"

namespace pravel::platform {
namespace {

using testing::ReadFile;
using testing::TempDir;

// Enough entries for several batches, a replaced value in the middle of
// them and a key looked up while its line is still held.
void WriteEntries(const std::string& path) {
  for (int i = 0; i < 6000; ++i) {
    const std::string key = "FOLDER/FILE_" + std::to_string(i) + ".DAT";
    ASSERT_TRUE(WritePrivateProfileString("palias", key.c_str(), ("/title/" + key).c_str(), path));
    if (i == 3000) {
      ASSERT_TRUE(WritePrivateProfileString("palias", "FOLDER/FILE_10.DAT", "/elsewhere", path));
    }
  }
  EXPECT_EQ(GetPrivateProfileString("palias", "folder/file_5999.dat", "", 256, path), "/title/FOLDER/FILE_5999.DAT");
  EXPECT_EQ(GetPrivateProfileString("palias", "FOLDER/FILE_10.DAT", "", 256, path), "/elsewhere");
}

TEST(HeldProfileAppends, GiveTheBytesOfWritesMadeOneByOne) {
  TempDir dir;
  const std::string direct = dir / "direct.ini";
  const std::string held = dir / "held.ini";
  WriteEntries(direct);
  ASSERT_TRUE(HoldProfileAppends(held));
  WriteEntries(held);
  EXPECT_EQ(HeldProfileLength(held), HeldProfileLength(direct));
  ASSERT_TRUE(WritePrivateProfileString(nullptr, nullptr, nullptr, held));
  EXPECT_GT(ReadFile(direct).size(), 256u * 1024u);
  EXPECT_EQ(ReadFile(held), ReadFile(direct));
}

TEST(HeldProfileAppends, AFlushThatCanNotWriteSaysSo) {
  TempDir dir;
  const std::string path = dir / "gone/held.ini";
  testing::MakeDirs(dir / "gone");
  ASSERT_TRUE(HoldProfileAppends(path));
  ASSERT_TRUE(WritePrivateProfileString("palias", "A.TXT", "/title/A.TXT", path));
  std::filesystem::remove(dir / "gone");
  EXPECT_FALSE(WritePrivateProfileString(nullptr, nullptr, nullptr, path));
  EXPECT_FALSE(PathExists(path));
}

TEST(HeldProfileAppends, AreRefusedForWhatIsNoFile) {
  TempDir dir;
  EXPECT_FALSE(HoldProfileAppends(dir.path()));
}

}  // namespace
}  // namespace pravel::platform
