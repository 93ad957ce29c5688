// Sources the scan refuses before it writes anything, each with a message
// that names what is wrong.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "intake/scan_fixture.h"
#include "intake/tree_scan.h"

namespace pravel {
namespace {

using testing::Exists;
using testing::Lines;
using testing::MakeDirs;
using testing::ScanFixture;
using testing::WriteFile;
namespace fs = std::filesystem;

// Runs the scan, which must fail with exactly one message holding every
// piece of `named` and the caption.
void ExpectRefused(ScanFixture& scan, const std::vector<std::string>& named, const std::string& caption) {
  EXPECT_FALSE(BuildTreeListing(scan.job));
  ASSERT_EQ(scan.Messages().size(), 1u);
  for (const std::string& piece : named) EXPECT_NE(scan.Messages()[0].text.find(piece), std::string::npos) << piece;
  EXPECT_EQ(scan.Messages()[0].caption, caption);
}

// Refused while the tree is walked, before anything is listed.
void ExpectRefusedBeforeListing(ScanFixture& scan, const std::vector<std::string>& named,
                                const std::string& caption) {
  ExpectRefused(scan, named, caption);
  EXPECT_FALSE(Exists(scan.job.treeListPath));
}

TEST(ScanLinks, ALinkIsTakenForTheFolderItLeadsTo) {
  ScanFixture scan;
  WriteFile(scan.Src("T/G/g.txt"), "g");
  MakeDirs(scan.Src("T/F"));
  fs::create_directory_symlink("../G", scan.Src("T/F/L"));
  fs::create_symlink("../G/g.txt", scan.Src("T/F/file-link"));
  scan.Select("T/F");
  ASSERT_TRUE(BuildTreeListing(scan.job));
  EXPECT_EQ(Lines(scan.job.treeListPath), (std::vector<std::string>{scan.Src("T/F/"), scan.Src("T/F/L/"),
                                                                    scan.Src("T/F/L/g.txt"),
                                                                    scan.Src("T/F/file-link")}));
}

TEST(ScanLinks, ALinkBackIntoItsOwnAncestryIsRefused) {
  ScanFixture scan;
  MakeDirs(scan.Src("T/F/sub"));
  fs::create_directory_symlink("../..", scan.Src("T/F/sub/up"));
  scan.Select("T/F");
  ExpectRefusedBeforeListing(scan, {scan.Src("T/F/sub/up"), "[" + scan.Src("T") + "]"}, "Format error, aborting");
}

TEST(ScanLinks, TwoLinksLeadingToEachOthersFoldersAreALoop) {
  ScanFixture scan;
  MakeDirs(scan.Src("A"));
  MakeDirs(scan.Src("B"));
  fs::create_directory_symlink(scan.Src("B"), scan.Src("A/to-b"));
  fs::create_directory_symlink(scan.Src("A"), scan.Src("B/to-a"));
  scan.Select("A");
  ExpectRefusedBeforeListing(scan, {scan.Src("A/to-b/to-a")}, "Format error, aborting");
}

TEST(ScanSpecialFiles, APipeInAFolderOrSelectedIsRefused) {
  ScanFixture scan;
  MakeDirs(scan.Src("T/F"));
  ASSERT_EQ(::mkfifo(scan.Src("T/F/pipe").c_str(), 0600), 0);
  scan.Select("T/F");
  ExpectRefusedBeforeListing(scan, {"[" + scan.Src("T/F/pipe") + "]", "pipe"}, "Format error, aborting");

  ScanFixture selected;
  MakeDirs(selected.Src("T/F"));
  ASSERT_EQ(::mkfifo(selected.Src("T/pipe").c_str(), 0600), 0);
  selected.Select("T/F");
  selected.Select("T/pipe");
  ExpectRefusedBeforeListing(selected, {"[" + selected.Src("T/pipe") + "]"}, "Format error, aborting");
}

TEST(ScanUnreadable, ADanglingLinkOrAMissingSourceEndsTheScan) {
  ScanFixture scan;
  MakeDirs(scan.Src("T/F"));
  fs::create_symlink("nowhere", scan.Src("T/F/dangling"));
  scan.Select("T/F");
  ExpectRefusedBeforeListing(scan, {"[" + scan.Src("T/F/dangling") + "]"}, "Fatal IO error!");

  ScanFixture missing;
  MakeDirs(missing.Src("T/F"));
  missing.Select("T/F");
  missing.Select("T/gone.txt");
  ExpectRefusedBeforeListing(missing, {"[" + missing.Src("T/gone.txt") + "]"}, "Fatal IO error!");
}

TEST(ScanUnreadable, AFolderThatCanNotBeListedEndsTheScan) {
  ScanFixture scan;
  MakeDirs(scan.Src("T/F/locked"));
  fs::permissions(scan.Src("T/F/locked"), fs::perms::none);
  if (::access(scan.Src("T/F/locked").c_str(), R_OK) == 0) {
    GTEST_SKIP() << "running with the right to read any folder";
  }
  scan.Select("T/F");
  ExpectRefusedBeforeListing(scan, {"[" + scan.Src("T/F/locked") + "]"}, "Fatal IO error!");
}

TEST(ScanCaseClash, NamesEqualButForCaseInOneFolderAreRefused) {
  ScanFixture scan;
  WriteFile(scan.Src("T/F/README"), "1");
  WriteFile(scan.Src("T/F/readme"), "2");
  scan.Select("T/F");
  ExpectRefusedBeforeListing(scan, {scan.Src("T/F/README"), scan.Src("T/F/readme")}, "Format error, aborting");
}

TEST(ScanCaseClash, TwoSelectedFoldersOfOneNameFromDifferentParentsAreRefused) {
  ScanFixture scan;
  MakeDirs(scan.Src("A/VIDEO_TS"));
  MakeDirs(scan.Src("B/video_ts"));
  scan.Select("A/VIDEO_TS");
  scan.Select("B/video_ts");
  ExpectRefusedBeforeListing(scan, {scan.Src("A/VIDEO_TS"), scan.Src("B/video_ts")}, "Format error, aborting");
}

TEST(ScanCaseClash, ASelectedFileAndFolderOfOneNameInTheRootAreRefused) {
  ScanFixture scan;
  MakeDirs(scan.Src("A/DATA"));
  WriteFile(scan.Src("B/data"), "d");
  scan.Select("A/DATA");
  scan.Select("B/data");
  ExpectRefusedBeforeListing(scan, {scan.Src("A/DATA"), scan.Src("B/data")}, "Format error, aborting");
}

TEST(ScanCaseClash, LettersBeyondAsciiAndTheGeneratedAutorunAreComparedToo) {
  ScanFixture scan;
  WriteFile(scan.Src("T/F/\xC3\xA9t\xC3\xA9"), "1");  // été
  WriteFile(scan.Src("T/F/\xC3\x89T\xC3\x89"), "2");  // ÉTÉ
  scan.Select("T/F");
  ExpectRefusedBeforeListing(scan, {scan.Src("T/F/")}, "Format error, aborting");

  ScanFixture autorun;
  MakeDirs(autorun.Src("T/F"));
  WriteFile(autorun.Src("T/autorun.inf"), "mine");
  autorun.Select("T/F");
  autorun.Select("T/autorun.inf");
  autorun.job.autorunEnabled = 1;
  EXPECT_FALSE(BuildTreeListing(autorun.job));
  ASSERT_EQ(autorun.Messages().size(), 1u);
  EXPECT_NE(autorun.Messages()[0].text.find(autorun.Tmp("AUTORUN.INF")), std::string::npos);
}

TEST(ScanSelection, APathSelectedTwiceIsTakenOnce) {
  ScanFixture scan;
  WriteFile(scan.Src("T/F/a.txt"), "a");
  scan.Select("T/F");
  scan.Select("T/F/");
  ASSERT_TRUE(BuildTreeListing(scan.job));
  EXPECT_EQ(Lines(scan.job.treeListPath), (std::vector<std::string>{scan.Src("T/F/"), scan.Src("T/F/a.txt")}));
}

TEST(ScanSelection, AFolderSelectedDeeperInsideAnotherSelectedFolderIsRefused) {
  ScanFixture scan;
  MakeDirs(scan.Src("T/A/B"));
  scan.Select("T");
  scan.Select("T/A/B");
  ExpectRefusedBeforeListing(scan, {scan.Src("T/A/B"), "[" + scan.Src("T") + "]"}, "Usage error");
}

TEST(ScanSelection, AFileThatWouldStandInNoDirectoryIsRefused) {
  ScanFixture scan;
  MakeDirs(scan.Src("T/X"));
  WriteFile(scan.Src("T/Y/f.txt"), "f");
  scan.Select("T/X");
  scan.Select("T/Y/f.txt");
  ExpectRefusedBeforeListing(scan, {scan.Src("T/Y/f.txt"), "[" + scan.Src("T") + "]"}, "Usage error");
}

TEST(ScanSelection, AFileSelectedInsideASelectedFolderIsListedOnceInItsFolder) {
  ScanFixture scan;
  WriteFile(scan.Src("T/X/a.txt"), "a");
  WriteFile(scan.Src("T/X/b.txt"), "b");
  scan.Select("T/X");
  scan.Select("T/X/b.txt");
  ASSERT_TRUE(BuildTreeListing(scan.job));
  EXPECT_EQ(Lines(scan.job.treeListPath),
            (std::vector<std::string>{scan.Src("T/X/"), scan.Src("T/X/b.txt"), scan.Src("T/X/a.txt")}));
}

TEST(ScanNames, NamesTheDiscOrTheListingsCanNotCarryAreRefused) {
  ScanFixture invalid;
  WriteFile(invalid.Src("T/F/bad\xFF.txt"), "x");
  invalid.Select("T/F");
  ExpectRefused(invalid, {"is not valid UTF-8"}, "Format error, aborting");

  ScanFixture beyond;
  WriteFile(beyond.Src("T/F/clef\xF0\x9D\x84\x9E"), "x");
  beyond.Select("T/F");
  ExpectRefused(beyond, {"is not valid UTF-8"}, "Format error, aborting");

  ScanFixture control;
  WriteFile(control.Src("T/F/two\nlines"), "x");
  control.Select("T/F");
  ExpectRefused(control, {"[" + control.Src("T/F/two?lines") + "]", "control character"}, "Format error, aborting");

  ScanFixture blank;
  MakeDirs(blank.Src("T/F/trailing "));
  blank.Select("T/F");
  ExpectRefused(blank, {"[" + blank.Src("T/F/trailing ") + "]"}, "Format error, aborting");
}

TEST(ScanLimits, TheSourceListRefusesAnEntryBeyondItsRoom) {
  ScanFixture scan;
  MakeDirs(scan.Src("T/F"));
  for (uint32_t i = 0; i < limits::kSourceEntries; ++i) scan.Select("T/F");
  scan.job.autorunEnabled = 1;
  EXPECT_FALSE(BuildTreeListing(scan.job));
  ASSERT_EQ(scan.Messages().size(), 1u);
  EXPECT_EQ(scan.Messages()[0].caption, "Tool limits exceeded!");
  EXPECT_NE(scan.Messages()[0].text.find("100000"), std::string::npos);
  EXPECT_EQ(scan.job.sourceCount, limits::kSourceEntries);

  ScanFixture load;
  WriteFile(load.Src("P/a.txt"), "a");
  WriteFile(load.Src("P/b.txt"), "b");
  for (uint32_t i = 1; i < limits::kSourceEntries; ++i) load.Select("T/F");
  load.job.projectPath = load.Src("P");
  EXPECT_FALSE(LoadProjectSources(load.job));
  ASSERT_EQ(load.Messages().size(), 1u);
  EXPECT_EQ(load.Messages()[0].caption, "Tool limits exceeded!");
}

TEST(ProjectLoadRefusals, AnEmptyProjectPathIsAUsageError) {
  ScanFixture scan;
  EXPECT_FALSE(LoadProjectSources(scan.job));
  ASSERT_EQ(scan.Messages().size(), 1u);
  EXPECT_EQ(scan.Messages()[0].caption, "Usage error");
  EXPECT_EQ(scan.job.sourceCount, 0u);
}

TEST(ProjectLoadRefusals, AProjectPathThatIsNoFolderIsNamed) {
  ScanFixture scan;
  WriteFile(scan.Src("file"), "f");
  scan.job.projectPath = scan.Src("file");
  EXPECT_FALSE(LoadProjectSources(scan.job));
  ASSERT_EQ(scan.Messages().size(), 1u);
  EXPECT_NE(scan.Messages()[0].text.find("[" + scan.Src("file") + "]"), std::string::npos);
}

}  // namespace
}  // namespace pravel

namespace pravel {
namespace {

// A title holding the run's own image directory would put the images of the
// run itself on the disc, emptied as the run begins.
TEST(ScanWorkFolders, AnImageOrTemporaryDirectoryInsideTheTitleIsRefused) {
  for (const char* inside : {"images", "tmp"}) {
    testing::ScanFixture scan;
    testing::MakeDirs(scan.Src(std::string("TITLE/") + inside));
    testing::WriteFile(scan.Src("TITLE/A.TXT"), "a");
    scan.job.imagePath1 = scan.Src("TITLE/images/CONTROL.IMG");
    if (std::string(inside) == "tmp") {
      scan.job.imagePath1 = scan.dir / "CONTROL.IMG";
      scan.job.tempDir = scan.Src("TITLE/tmp/");
    }
    scan.Select("TITLE");
    EXPECT_FALSE(BuildTreeListing(scan.job)) << inside;
    ASSERT_FALSE(scan.Messages().empty());
    EXPECT_EQ(scan.Messages().back().caption, "Usage error");
    EXPECT_NE(scan.Messages().back().text.find(scan.Src(std::string("TITLE/") + inside)), std::string::npos);
  }
}

}  // namespace
}  // namespace pravel
