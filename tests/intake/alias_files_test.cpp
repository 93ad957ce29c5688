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
using testing::ReadFile;
using testing::ScanFixture;
using testing::WriteFile;

TEST(AutorunInf, HoldsTwoEmptyLinesTheSectionOpenAndTheIconWhenGiven) {
  struct Case {
    std::string program, icon, text;
  };
  for (const Case& c : {Case{"SETUP.EXE", "", "\r\n\r\n[autorun]\r\nopen=SETUP.EXE\r\n"},
                        Case{"", "DISC.ICO", "\r\n\r\n[autorun]\r\nopen=\r\nicon=DISC.ICO\r\n"}}) {
    ScanFixture scan;
    scan.job.autorunProgramPath = c.program;
    scan.job.autorunIconPath = c.icon;
    ASSERT_TRUE(WriteAutorunInf(scan.job));
    EXPECT_EQ(ReadFile(scan.Tmp("AUTORUN.INF")), c.text);
    EXPECT_EQ(scan.job.sourcePaths, std::vector<std::string>{scan.Tmp("AUTORUN.INF")});
    EXPECT_EQ(scan.job.fileCount, 1u);
  }
  ScanFixture uncreatable;
  uncreatable.job.tempDir = uncreatable.Tmp("missing/");
  EXPECT_FALSE(WriteAutorunInf(uncreatable.job));
  uncreatable.ExpectOneMessage({"Could not create AUTORUN.INF file."}, "Virtual image device error!");
  EXPECT_EQ(uncreatable.job.sourceCount, 0u);
}

TEST(AliasFiles, EntriesRollOverPast65000BytesAndEveryFileIsFoundAgain) {
  constexpr int kFiles = 1500;
  auto name = [](int i) { return "file_with_a_rather_long_name_number_" + std::to_string(10000 + i) + ".dat"; };
  ScanFixture scan;
  for (int i = 0; i < kFiles; ++i) WriteFile(scan.Src("TITLE/DATA/") + name(i), "");
  WriteFile(scan.Src("TITLE/top.txt"), "");
  scan.Select("TITLE/DATA");
  scan.Select("TITLE/top.txt");
  scan.job.autorunEnabled = 1;
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
  EXPECT_EQ(aliases.size(), kFiles + 2u);
  for (int i = 0; i < kFiles; ++i) {
    const std::string path = scan.Src("TITLE/DATA/") + name(i);
    ASSERT_EQ(aliases.Find(AliasKey(scan.job, path)), path) << i;
  }
  EXPECT_EQ(AliasKey(scan.job, scan.Src("TITLE/top.txt")), "top.txt");
  EXPECT_EQ(aliases.Find("TOP.TXT"), scan.Src("TITLE/top.txt"));  // keys compare without regard to case
  const std::string autorun = scan.Tmp("AUTORUN.INF");
  EXPECT_EQ(AliasKey(scan.job, autorun), autorun);  // under no source base
  EXPECT_EQ(aliases.Find(autorun), autorun);
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
  EXPECT_EQ(aliases.Find("a/X"), "/two/A/x");
  EXPECT_EQ(aliases.Find("A/y"), std::nullopt);
  EXPECT_EQ(aliases.Find("A/k=v.txt"), "/s/A/k=v.txt");
  EXPECT_EQ(aliases.Find("A/k"), "/s/A/k");
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

TEST(CleanUps, EveryListingAndAliasFileGoesEvenPastAGapAndAnEmptyDirectoryIsNoError) {
  ScanFixture scan;
  RemoveAliasFiles(scan.job);
  RemoveTreeListingFiles(scan.job);
  EXPECT_EQ(scan.test.ui.cursor, platform::Cursor::kArrow);

  const std::vector<std::string> gone = {"tm.txt",       "tm0000.txt",    "tm0002.txt", "tm0417.txt",
                                         "palias00.ini", "palias123.ini", "alias.ini"};
  const std::vector<std::string> kept = {"AUTORUN.INF", "keep.txt", "tm12.txt", "palias.ini"};
  for (const auto& list : {gone, kept}) {
    for (const std::string& name : list) WriteFile(scan.Tmp(name), "x");
  }
  RemoveTreeListingFiles(scan.job);
  for (const std::string& name : gone) EXPECT_FALSE(Exists(scan.Tmp(name))) << name;
  for (const std::string& name : kept) EXPECT_TRUE(Exists(scan.Tmp(name))) << name;

  WriteFile(scan.Tmp("palias05.ini"), "x");
  RemoveAliasFiles(scan.job);
  EXPECT_FALSE(Exists(scan.Tmp("AUTORUN.INF")));
  EXPECT_FALSE(Exists(scan.Tmp("palias05.ini")));
  EXPECT_TRUE(Exists(scan.Tmp("keep.txt")));
  EXPECT_TRUE(scan.Messages().empty());
}

}  // namespace
}  // namespace pravel
