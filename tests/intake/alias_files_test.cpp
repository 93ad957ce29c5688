#include "intake/alias_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "intake/autorun.h"
#include "intake/scan_fixture.h"
#include "intake/tree_scan.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace pravel {
namespace {

using testing::Exists;
using testing::MakeDirs;
using testing::ReadFile;
using testing::ScanFixture;
using testing::WriteFile;

TEST(AutorunInf, WithoutAnIconHoldsTwoEmptyLinesTheSectionAndOpen) {
  ScanFixture scan;
  scan.job.autorunProgramPath = "SETUP.EXE";
  ASSERT_TRUE(WriteAutorunInf(scan.job));
  EXPECT_EQ(ReadFile(scan.Tmp("AUTORUN.INF")), "\r\n\r\n[autorun]\r\nopen=SETUP.EXE\r\n");
  EXPECT_EQ(scan.job.sourcePaths, std::vector<std::string>{scan.Tmp("AUTORUN.INF")});
  EXPECT_EQ(scan.job.fileCount, 1u);
}

TEST(AutorunInf, WithAnIconAddsTheIconLineAndAnEmptyProgramGivesABareOpen) {
  ScanFixture scan;
  scan.job.autorunIconPath = "DISC.ICO";
  ASSERT_TRUE(WriteAutorunInf(scan.job));
  EXPECT_EQ(ReadFile(scan.Tmp("AUTORUN.INF")), "\r\n\r\n[autorun]\r\nopen=\r\nicon=DISC.ICO\r\n");
}

TEST(AutorunInf, AnUncreatableFileIsAVirtualImageDeviceError) {
  ScanFixture scan;
  scan.job.tempDir = scan.Tmp("missing/");
  EXPECT_FALSE(WriteAutorunInf(scan.job));
  ASSERT_EQ(scan.Messages().size(), 1u);
  EXPECT_EQ(scan.Messages()[0].text, "Could not create AUTORUN.INF file.");
  EXPECT_EQ(scan.Messages()[0].caption, "Virtual image device error!");
  EXPECT_EQ(scan.job.sourceCount, 0u);
}

TEST(AutorunInf, WithAutorunOffTheScanWritesNoneAndCountsNone) {
  ScanFixture scan;
  WriteFile(scan.Src("T/F/a.txt"), "a");
  scan.Select("T/F");
  ASSERT_TRUE(BuildTreeListing(scan.job));
  EXPECT_FALSE(Exists(scan.Tmp("AUTORUN.INF")));
  EXPECT_EQ(scan.job.fileCount, 1u);
}

// A title whose alias entries fill several alias files.
struct ManyFiles : ScanFixture {
  static constexpr int kFiles = 1500;
  ManyFiles() {
    for (int i = 0; i < kFiles; ++i) WriteFile(Src("TITLE/DATA/") + Name(i), "");
    WriteFile(Src("TITLE/top.txt"), "");
    Select("TITLE/DATA");
    Select("TITLE/top.txt");
    job.autorunEnabled = 1;
  }
  static std::string Name(int i) { return "file_with_a_rather_long_name_number_" + std::to_string(10000 + i) + ".dat"; }
};

TEST(AliasFiles, EntriesRollOverPast65000BytesAndEveryFileIsFoundAgain) {
  ManyFiles scan;
  WriteFile(scan.Tmp("palias07.ini"), "[palias]\r\nDATA/stale.dat=/old/run/stale.dat\r\n");
  ASSERT_TRUE(BuildTreeListing(scan.job));
  ASSERT_GE(scan.job.paliasCount, 3u);
  EXPECT_EQ(scan.job.paliasPath, AliasFilePath(scan.job, scan.job.paliasCount - 1));
  for (uint32_t n = 0; n + 1 < scan.job.paliasCount; ++n) {
    const uint64_t length = *platform::FileLength(AliasFilePath(scan.job, n));
    EXPECT_GT(length, 65000u) << n;
    EXPECT_LT(length, 65000u + 200u) << n;
  }
  if (scan.job.paliasCount <= 7) {
    EXPECT_FALSE(Exists(scan.Tmp("palias07.ini")));  // an earlier run's
  }

  AliasTable aliases;
  ASSERT_TRUE(aliases.Load(scan.job));
  EXPECT_EQ(aliases.size(), ManyFiles::kFiles + 2u);
  for (int i = 0; i < ManyFiles::kFiles; ++i) {
    const std::string path = scan.Src("TITLE/DATA/") + ManyFiles::Name(i);
    std::optional<std::string> found = aliases.Find(AliasKey(scan.job, path));
    ASSERT_NE(found, std::nullopt) << i;
    EXPECT_EQ(*found, path);
  }
  EXPECT_EQ(AliasKey(scan.job, scan.Src("TITLE/top.txt")), "top.txt");
  ASSERT_NE(aliases.Find("TOP.TXT"), std::nullopt);  // keys compare without regard to case
  EXPECT_EQ(*aliases.Find("TOP.TXT"), scan.Src("TITLE/top.txt"));
  const std::string autorun = scan.Tmp("AUTORUN.INF");
  EXPECT_EQ(AliasKey(scan.job, autorun), autorun);  // under no source base
  ASSERT_NE(aliases.Find(autorun), std::nullopt);
  EXPECT_EQ(aliases.Find("DATA/stale.dat"), std::nullopt);
  // What the table finds is what the profile layer reads.
  EXPECT_EQ(platform::GetPrivateProfileString("palias", "top.txt", "", 256, AliasFilePath(scan.job, 0)),
            scan.Src("TITLE/top.txt"));
}

TEST(AliasFiles, TheLaterFileWinsAndANameHoldingAnEqualsSignIsFound) {
  ScanFixture scan;
  scan.job.paliasCount = 2;
  WriteFile(AliasFilePath(scan.job, 0), "[palias]\r\nA/x=/one/A/x\r\n[other]\r\nA/y=/no\r\n");
  WriteFile(AliasFilePath(scan.job, 1), "[PALIAS]\r\nA/x=/two/A/x\r\nA/k=v.txt=/s/A/k=v.txt\r\nA/k=/s/A/k\r\n");
  AliasTable aliases;
  ASSERT_TRUE(aliases.Load(scan.job));
  EXPECT_EQ(*aliases.Find("a/X"), "/two/A/x");
  EXPECT_EQ(aliases.Find("A/y"), std::nullopt);
  EXPECT_EQ(*aliases.Find("A/k=v.txt"), "/s/A/k=v.txt");
  EXPECT_EQ(*aliases.Find("A/k"), "/s/A/k");
}

TEST(AliasFiles, WriteAliasEntryGoesThroughTheProfileLayer) {
  ScanFixture scan;
  scan.job.sourceBases = {"/d/TITLE"};
  StartAliasFiles(scan.job);
  WriteAliasEntry(scan.job, "/d/TITLE/EXTRAS/README.TXT", true);
  WriteAliasEntry(scan.job, "/d/TITLE/a=b.txt", false);
  EXPECT_EQ(ReadFile(scan.Tmp("palias00.ini")),
            "[palias]\r\nEXTRAS/README.TXT=/d/TITLE/EXTRAS/README.TXT\r\na=b.txt=/d/TITLE/a=b.txt\r\n");
  NextAliasFileIfFull(scan.job);
  EXPECT_EQ(scan.job.paliasCount, 1u);
}

TEST(CleanUps, AnEmptyTemporaryDirectoryIsNoError) {
  ScanFixture scan;
  RemoveAliasFiles(scan.job);
  RemoveTreeListingFiles(scan.job);
  EXPECT_TRUE(scan.Messages().empty());
  EXPECT_EQ(scan.test.ui.cursor, platform::Cursor::kArrow);
}

TEST(CleanUps, EveryListingAndAliasFileGoesEvenPastAGapInTheNumbers) {
  ScanFixture scan;
  for (const char* name : {"tm.txt", "tm0000.txt", "tm0002.txt", "tm0417.txt", "palias00.ini", "palias123.ini",
                           "alias.ini", "AUTORUN.INF", "keep.txt", "tm12.txt", "palias.ini"}) {
    WriteFile(scan.Tmp(name), "x");
  }
  RemoveTreeListingFiles(scan.job);
  for (const char* gone : {"tm.txt", "tm0000.txt", "tm0002.txt", "tm0417.txt", "palias00.ini", "palias123.ini",
                           "alias.ini"}) {
    EXPECT_FALSE(Exists(scan.Tmp(gone))) << gone;
  }
  for (const char* kept : {"AUTORUN.INF", "keep.txt", "tm12.txt", "palias.ini"}) EXPECT_TRUE(Exists(scan.Tmp(kept))) << kept;

  WriteFile(scan.Tmp("palias05.ini"), "x");
  RemoveAliasFiles(scan.job);
  EXPECT_FALSE(Exists(scan.Tmp("AUTORUN.INF")));
  EXPECT_FALSE(Exists(scan.Tmp("palias05.ini")));
  EXPECT_TRUE(Exists(scan.Tmp("keep.txt")));
  EXPECT_TRUE(scan.Messages().empty());
}

}  // namespace
}  // namespace pravel
