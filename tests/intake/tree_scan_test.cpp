#include "intake/tree_scan.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "intake/alias_files.h"
#include "intake/directory_listing.h"
#include "intake/scan_fixture.h"
#include "platform/profile.h"

namespace pravel {
namespace {

using testing::Lines;
using testing::MakeDirs;
using testing::ScanFixture;
using testing::WriteFile;
using Strings = std::vector<std::string>;

// The directory lines of the tree listing, as the builder numbers them.
Strings DirectoryLines(const std::string& treeList) {
  Strings lines;
  for (const std::string& line : Lines(treeList)) {
    if (line.back() == '/') lines.push_back(line);
  }
  return lines;
}

// The worked example: VIDEO_TS and EXTRAS selected with INDEX.HTM, autorun on.
struct WorkedExample : ScanFixture {
  WorkedExample() {
    WriteFile(Src("TITLE/VIDEO_TS/VIDEO_TS.IFO"), "v");
    WriteFile(Src("TITLE/VIDEO_TS/VTS_01_0.IFO"), "t");
    WriteFile(Src("TITLE/EXTRAS/README.TXT"), "r");
    WriteFile(Src("TITLE/EXTRAS/PICS/A.JPG"), "a");
    WriteFile(Src("TITLE/INDEX.HTM"), "i");
    Select("TITLE/VIDEO_TS");
    Select("TITLE/EXTRAS");
    Select("TITLE/INDEX.HTM");
    job.autorunEnabled = 1;
    job.autorunProgramPath = "START.EXE";
  }
  std::string d = Src("TITLE");
  std::string autorun = Tmp("AUTORUN.INF");
  Strings tree = {d + "/VIDEO_TS/",        d + "/EXTRAS/",
                  d + "/INDEX.HTM",        autorun,
                  d + "/EXTRAS/PICS/",     d + "/EXTRAS/PICS/A.JPG",
                  d + "/EXTRAS/README.TXT", d + "/VIDEO_TS/VIDEO_TS.IFO",
                  d + "/VIDEO_TS/VTS_01_0.IFO"};
};

TEST(TreeListing, WorkedExampleGivesItsNineLinesAndCounts) {
  WorkedExample scan;
  ASSERT_TRUE(BuildTreeListing(scan.job));
  EXPECT_TRUE(scan.Messages().empty());
  EXPECT_EQ(Lines(scan.job.treeListPath), scan.tree);
  EXPECT_EQ(scan.job.sourceBases, Strings{scan.d});
  EXPECT_EQ(scan.job.sourceBaseCount, 1u);
  EXPECT_EQ(scan.job.folderCount, 1u);  // PICS; the selected folders do not count
  EXPECT_EQ(scan.job.fileCount, 5u);    // four inside folders and AUTORUN.INF
  EXPECT_EQ(scan.test.ui.statusLines.front(), "Building directory and file tree");
  // Every line ends with CR LF, the last one included.
  const std::string text = testing::ReadFile(scan.job.treeListPath);
  EXPECT_TRUE(text.ends_with(".IFO\r\n"));
}

TEST(DirectoryListings, WorkedExampleCutsFourListingsInOnePassAndOneByOne) {
  WorkedExample scan;
  ASSERT_TRUE(BuildTreeListing(scan.job));
  const Strings& t = scan.tree;
  const std::vector<Strings> expected = {{t[0], t[1], t[2], t[3]}, {t[7], t[8]}, {t[4], t[6]}, {t[5]}};
  const Strings directories = DirectoryLines(scan.job.treeListPath);
  ASSERT_EQ(directories.size(), 3u);

  ASSERT_TRUE(WriteDirectoryListings(scan.job, directories));
  for (long n = 0; n < 4; ++n) EXPECT_EQ(Lines(ListingFilePath(scan.job, n)), expected[n]) << n;

  for (long n = 0; n < 4; ++n) {
    const std::string dir = n == 0 ? "ROOT" : directories[n - 1].substr(0, directories[n - 1].size() - 1);
    const std::string path = scan.Tmp("one.txt");
    ASSERT_TRUE(WriteDirectoryListing(scan.job, dir, path, n));
    EXPECT_EQ(Lines(path), expected[n]) << n;
  }
  EXPECT_EQ(ListingFilePath(scan.job, 3), scan.Tmp("tm0003.txt"));
  EXPECT_TRUE(scan.Messages().empty());
}

TEST(DirectoryListings, AnEmptyDirectoryGetsAnEmptyListingAndCaseIsIgnored) {
  ScanFixture scan;
  MakeDirs(scan.Src("T/EMPTY"));
  WriteFile(scan.Src("T/FULL/x.txt"), "x");
  scan.Select("T/EMPTY");
  scan.Select("T/FULL");
  ASSERT_TRUE(BuildTreeListing(scan.job));
  Strings directories = DirectoryLines(scan.job.treeListPath);
  ASSERT_EQ(directories.size(), 2u);
  // The builder may hand the folders over upper-cased.
  for (std::string& line : directories) {
    for (char& c : line) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  ASSERT_TRUE(WriteDirectoryListings(scan.job, directories));
  EXPECT_TRUE(testing::Exists(scan.Tmp("tm0001.txt")));
  EXPECT_EQ(testing::ReadFile(scan.Tmp("tm0001.txt")), "");
  EXPECT_EQ(Lines(scan.Tmp("tm0002.txt")), Strings{scan.Src("T/FULL/x.txt")});
}

TEST(TreeListing, FoldersWithDifferentParentsGiveTwoBasesAndBothStandInTheRoot) {
  ScanFixture scan;
  WriteFile(scan.Src("A/X/one.txt"), "1");
  WriteFile(scan.Src("LONGER/Y/two.txt"), "2");
  scan.Select("A/X");
  scan.Select("LONGER/Y");
  ASSERT_TRUE(BuildTreeListing(scan.job));
  EXPECT_EQ(scan.job.sourceBases, (Strings{scan.Src("LONGER"), scan.Src("A")}));  // longest first
  ASSERT_TRUE(WriteDirectoryListings(scan.job, DirectoryLines(scan.job.treeListPath)));
  EXPECT_EQ(Lines(scan.Tmp("tm0000.txt")), (Strings{scan.Src("A/X/"), scan.Src("LONGER/Y/")}));
  EXPECT_EQ(AliasKey(scan.job, scan.Src("LONGER/Y/two.txt")), "Y/two.txt");
  EXPECT_EQ(AliasKey(scan.job, scan.Src("A/X/one.txt")), "X/one.txt");
}

TEST(TreeListing, ABaseIsMatchedOnlyAtAFolderBoundary) {
  // The base ".../DATA" must not cut ".../DATA1.TXT" into "TXT".
  ScanFixture scan;
  WriteFile(scan.Src("T/DATA/Q/q.txt"), "q");
  WriteFile(scan.Src("T/DATA1.TXT"), "1");
  WriteFile(scan.Src("T/DATA2.TXT"), "2");
  MakeDirs(scan.Src("T/Z"));
  scan.Select("T/DATA/Q");
  scan.Select("T/Z");
  scan.Select("T/DATA1.TXT");
  scan.Select("T/DATA2.TXT");
  ASSERT_TRUE(BuildTreeListing(scan.job));
  EXPECT_EQ(AliasKey(scan.job, scan.Src("T/DATA1.TXT")), "DATA1.TXT");
  EXPECT_EQ(AliasKey(scan.job, scan.Src("T/DATA/Q/q.txt")), "Q/q.txt");
  EXPECT_EQ(AliasKey(scan.job, scan.Src("T/DATA")), "");  // a base itself
  AliasTable aliases;
  ASSERT_TRUE(aliases.Load(scan.job));
  ASSERT_NE(aliases.Find("DATA2.TXT"), std::nullopt);
  EXPECT_EQ(*aliases.Find("DATA2.TXT"), scan.Src("T/DATA2.TXT"));
}

TEST(TreeListing, ASelectedFolderThatIsTheParentOfAnotherGivesNoLineAndItsContentsFormTheRoot) {
  ScanFixture scan;
  WriteFile(scan.Src("TITLE/VIDEO_TS/VIDEO_TS.IFO"), "v");
  WriteFile(scan.Src("TITLE/EXTRAS/a.txt"), "a");
  WriteFile(scan.Src("TITLE/index.htm"), "i");
  scan.Select("TITLE");
  scan.Select("TITLE/VIDEO_TS");
  ASSERT_TRUE(BuildTreeListing(scan.job)) << (scan.Messages().empty() ? "" : scan.Messages()[0].text);
  const std::string t = scan.Src("TITLE");
  // VIDEO_TS is met again inside TITLE and taken once.
  EXPECT_EQ(Lines(scan.job.treeListPath),
            (Strings{t + "/VIDEO_TS/", t + "/EXTRAS/", t + "/EXTRAS/a.txt", t + "/VIDEO_TS/VIDEO_TS.IFO",
                     t + "/index.htm"}));
  EXPECT_EQ(scan.job.folderCount, 1u);
  EXPECT_EQ(scan.job.fileCount, 3u);
  ASSERT_TRUE(WriteDirectoryListings(scan.job, DirectoryLines(scan.job.treeListPath)));
  EXPECT_EQ(Lines(scan.Tmp("tm0000.txt")), (Strings{t + "/VIDEO_TS/", t + "/EXTRAS/", t + "/index.htm"}));
}

TEST(TreeListing, DotFoldersAreSkippedDotFilesAndHiddenFilesKept) {
  ScanFixture scan;
  WriteFile(scan.Src("T/F/.cache/deep/x.txt"), "x");
  WriteFile(scan.Src("T/F/.profile"), "p");
  WriteFile(scan.Src("T/HIDDEN/.only"), "h");
  scan.Select("T/F");
  scan.Select("T/HIDDEN");
  ASSERT_TRUE(BuildTreeListing(scan.job));
  EXPECT_EQ(Lines(scan.job.treeListPath), (Strings{scan.Src("T/F/"), scan.Src("T/HIDDEN/"),
                                                   scan.Src("T/HIDDEN/.only"), scan.Src("T/F/.profile")}));
  EXPECT_EQ(scan.job.folderCount, 0u);
  EXPECT_EQ(scan.job.fileCount, 2u);
}

// Thousands of folders are made and removed fast in memory; removing them
// from a disk can take a minute.
class FastTempDir {
 public:
  FastTempDir() {
    std::error_code ignored;
    std::string pattern = std::filesystem::is_directory("/dev/shm", ignored)
                              ? std::string("/dev/shm/pravel-scan-XXXXXX")
                              : (std::filesystem::temp_directory_path() / "pravel-scan-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~FastTempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(TreeListing, NineThousandNineHundredNinetyEightFoldersPassAndOneMoreIsRefused) {
  FastTempDir tree;
  ASSERT_FALSE(tree.path().empty());
  const std::string top = tree.path() + "/TOP";
  MakeDirs(top);
  for (int i = 0; i < 9997; ++i) std::filesystem::create_directory(top + "/" + std::to_string(i));

  ScanFixture scan;
  scan.job.AddSource(top);
  ASSERT_TRUE(BuildTreeListing(scan.job));
  EXPECT_EQ(scan.job.folderCount, 9997u);
  EXPECT_TRUE(scan.Messages().empty());

  std::filesystem::create_directory(top + "/one-more");
  ScanFixture over;
  over.job.AddSource(top);
  EXPECT_FALSE(BuildTreeListing(over.job));
  ASSERT_EQ(over.Messages().size(), 1u);
  EXPECT_EQ(over.Messages()[0].text,
            "The maximum number of sub-directories by this release is 9999. This limit has been exceed");
  EXPECT_EQ(over.Messages()[0].caption, "Tool limits exceeded!");
}

TEST(TreeListing, OnlyFilesSelectedIsAUsageErrorAndAnEmptyFolderIsEnough) {
  ScanFixture scan;
  WriteFile(scan.Src("a.txt"), "a");
  scan.Select("a.txt");
  EXPECT_FALSE(BuildTreeListing(scan.job));
  ASSERT_EQ(scan.Messages().size(), 1u);
  EXPECT_EQ(scan.Messages()[0].text,
            "There are no sub-directories in the file list. This tool expects there to be at least 1 "
            "sub-directory in the file list, even if its empty.");
  EXPECT_EQ(scan.Messages()[0].caption, "Usage error!");

  ScanFixture enough;
  WriteFile(enough.Src("a.txt"), "a");
  MakeDirs(enough.Src("EMPTY"));
  enough.Select("a.txt");
  enough.Select("EMPTY");
  EXPECT_TRUE(BuildTreeListing(enough.job));
}

TEST(TreeListing, AnEmptySourceListFailsWithoutAMessage) {
  ScanFixture scan;
  EXPECT_FALSE(BuildTreeListing(scan.job));
  EXPECT_TRUE(scan.Messages().empty());
}

TEST(TreeListing, NamesTooLongEndTheScan) {
  ScanFixture scan;
  const std::string name = std::string(61, 'n') + ".txt";  // 65 characters
  WriteFile(scan.Src("T/F/" + name), "x");
  scan.Select("T/F");
  EXPECT_FALSE(BuildTreeListing(scan.job));
  ASSERT_EQ(scan.Messages().size(), 1u);
  EXPECT_EQ(scan.Messages()[0].text, "The file/directory name [" + scan.Src("T/F/" + name) +
                                         "] exceeds the maximum file name length accepted by this tool "
                                         "and the DVD file systems.");
  EXPECT_EQ(scan.Messages()[0].caption, "Format error, aborting");
}

TEST(TreeListing, TheCharacterCheckAsksOnceAndNoEndsTheScan) {
  ScanFixture scan;
  scan.job.noWarningMessages = 0;
  WriteFile(scan.Src("T/F/read-me.txt"), "x");
  scan.Select("T/F");
  scan.test.ui.QueueAnswers({platform::Answer::kNo});
  EXPECT_FALSE(BuildTreeListing(scan.job));
  ASSERT_EQ(scan.Messages().size(), 1u);
  EXPECT_EQ(scan.Messages()[0].caption, "Ignore this and all similar errors?");

  ScanFixture yes;
  yes.job.noWarningMessages = 0;
  WriteFile(yes.Src("T/F/read-me.txt"), "x");
  yes.Select("T/F");
  yes.test.ui.QueueAnswers({platform::Answer::kYes});
  EXPECT_TRUE(BuildTreeListing(yes.job));
  EXPECT_EQ(yes.Messages().size(), 1u);
  EXPECT_TRUE(yes.test.ui.unexpected.empty());
}

TEST(ProjectLoad, TheDvdVideoFolderComesFirstAndTheProjectContentsFollow) {
  ScanFixture scan;
  WriteFile(scan.Src("P/VIDEO_TS/VIDEO_TS.IFO"), "v");
  WriteFile(scan.Src("P/.git/config"), "g");
  WriteFile(scan.Src("P/.hidden"), "h");
  WriteFile(scan.Src("P/b.txt"), "b");
  MakeDirs(scan.Src("P/EXTRA"));
  scan.job.projectPath = scan.Src("P") + "/";
  scan.job.dvdVideoPath = scan.Src("P/VIDEO_TS");
  ASSERT_TRUE(LoadProjectSources(scan.job));
  EXPECT_EQ(scan.job.sourcePaths, (Strings{scan.Src("P/VIDEO_TS"), scan.Src("P/.hidden"), scan.Src("P/EXTRA"),
                                           scan.Src("P/b.txt")}));
  ASSERT_TRUE(BuildTreeListing(scan.job));
  ASSERT_TRUE(WriteDirectoryListings(scan.job, DirectoryLines(scan.job.treeListPath)));
  EXPECT_EQ(Lines(scan.Tmp("tm0000.txt")), (Strings{scan.Src("P/VIDEO_TS/"), scan.Src("P/.hidden"),
                                                    scan.Src("P/EXTRA/"), scan.Src("P/b.txt")}));
}

TEST(ProjectLoad, AMissingProjectAddsNothingAndALongNameIsRefused) {
  ScanFixture scan;
  scan.job.projectPath = scan.Src("NOWHERE");
  EXPECT_TRUE(LoadProjectSources(scan.job));
  EXPECT_EQ(scan.job.sourceCount, 0u);

  ScanFixture longName;
  const std::string name = std::string(65, 'f');
  WriteFile(longName.Src("P/" + name), "x");
  longName.job.projectPath = longName.Src("P");
  EXPECT_FALSE(LoadProjectSources(longName.job));
  ASSERT_EQ(longName.Messages().size(), 1u);
  EXPECT_EQ(longName.Messages()[0].text,
            "The file/directory name [" + longName.Src("P/" + name) +
                "] exceeds the maximum file name length accepted by this tool and the DVD file systems.");
}

}  // namespace
}  // namespace pravel
