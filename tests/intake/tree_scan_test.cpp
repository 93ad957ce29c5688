#include "intake/tree_scan.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "intake/alias_files.h"
#include "intake/directory_listing.h"
#include "intake/scan_fixture.h"
#include "intake/utf8.h"

namespace pravel {
namespace {

using testing::Lines;
using testing::MakeDirs;
using testing::ScanFixture;
using testing::WriteFile;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

// The directory lines of the tree listing, as the builder numbers them.
Strings DirectoryLines(const std::string& treeList) {
  Strings lines;
  for (const std::string& line : Lines(treeList)) {
    if (line.back() == '/') lines.push_back(line);
  }
  return lines;
}

// The worked example: VIDEO_TS and EXTRAS selected with INDEX.HTM, autorun on.
TEST(TreeListing, WorkedExampleGivesItsNineLinesCountsAndFourDirectoryListings) {
  ScanFixture scan;
  scan.Make({"f TITLE/VIDEO_TS/VIDEO_TS.IFO", "f TITLE/VIDEO_TS/VTS_01_0.IFO", "f TITLE/EXTRAS/README.TXT",
             "f TITLE/EXTRAS/PICS/A.JPG", "f TITLE/INDEX.HTM", "s TITLE/VIDEO_TS", "s TITLE/EXTRAS",
             "s TITLE/INDEX.HTM"});
  scan.job.autorunEnabled = 1;
  scan.job.autorunProgramPath = "START.EXE";
  const std::string d = scan.Src("TITLE");
  const Strings t = {d + "/VIDEO_TS/",         d + "/EXTRAS/",         d + "/INDEX.HTM",
                     scan.Tmp("AUTORUN.INF"),  d + "/EXTRAS/PICS/",    d + "/EXTRAS/PICS/A.JPG",
                     d + "/EXTRAS/README.TXT", d + "/VIDEO_TS/VIDEO_TS.IFO", d + "/VIDEO_TS/VTS_01_0.IFO"};

  ASSERT_TRUE(BuildTreeListing(scan.job));
  EXPECT_TRUE(scan.Messages().empty());
  EXPECT_EQ(Lines(scan.job.treeListPath), t);
  EXPECT_TRUE(testing::ReadFile(scan.job.treeListPath).ends_with(".IFO\r\n"));
  EXPECT_EQ(scan.job.sourceBases, Strings{d});
  EXPECT_EQ(scan.job.sourceBaseCount, 1u);
  EXPECT_EQ(scan.job.folderCount, 1u);  // PICS; the selected folders do not count
  EXPECT_EQ(scan.job.fileCount, 5u);    // four inside folders and AUTORUN.INF
  EXPECT_EQ(scan.test.ui.statusLines.front(), "Building directory and file tree");

  // In one pass over the tree listing and one by one, the same four
  // listings; the builder may hand the folders over upper-cased.
  const std::vector<Strings> expected = {{t[0], t[1], t[2], t[3]}, {t[7], t[8]}, {t[4], t[6]}, {t[5]}};
  const Strings directories = DirectoryLines(scan.job.treeListPath);
  ASSERT_EQ(directories.size(), 3u);
  Strings upper;
  for (const std::string& line : directories) upper.push_back(AsciiUpper(line));
  ASSERT_TRUE(WriteDirectoryListings(scan.job, upper));
  for (long n = 0; n < 4; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(Lines(ListingFilePath(scan.job, n)), expected[n]);
    const std::string dir = n == 0 ? "ROOT" : directories[n - 1].substr(0, directories[n - 1].size() - 1);
    ASSERT_TRUE(WriteDirectoryListing(scan.job, dir, scan.Tmp("one.txt"), n));
    EXPECT_EQ(Lines(scan.Tmp("one.txt")), expected[n]);
  }
  EXPECT_EQ(ListingFilePath(scan.job, 3), scan.Tmp("tm0003.txt"));
  EXPECT_TRUE(scan.Messages().empty());
}

TEST(TreeListing, SelectionsGiveTheirLines) {
  struct Listed {
    const char* what;
    Strings sources;  // as ScanFixture::Make takes them
    Strings lines;    // under "src"
    Strings root = {};  // the root's listing, when checked
  };
  const std::string longName = std::string(70, 'p');
  for (const Listed& c : std::vector<Listed>{
           {"dot-folders are skipped, dot-files kept",
            {"f T/F/.cache/deep/x.txt", "f T/F/.profile", "f T/HIDDEN/.only", "s T/F", "s T/HIDDEN"},
            {"T/F/", "T/HIDDEN/", "T/HIDDEN/.only", "T/F/.profile"}},
           {"a link is taken for what it leads to",
            {"f T/G/g.txt", "l T/F/L -> ../G", "l T/F/file-link -> ../G/g.txt", "s T/F"},
            {"T/F/", "T/F/L/", "T/F/L/g.txt", "T/F/file-link"}},
           {"a path selected twice is taken once", {"f T/F/a.txt", "s T/F", "s T/F/"}, {"T/F/", "T/F/a.txt"}},
           {"a file selected inside a selected folder is listed once in its folder",
            {"f T/X/a.txt", "f T/X/b.txt", "s T/X", "s T/X/b.txt"},
            {"T/X/", "T/X/b.txt", "T/X/a.txt"}},
           {"a selected parent of another selection gives only its contents, the other once",
            {"f T/VIDEO_TS/V.IFO", "f T/EXTRAS/a.txt", "f T/index.htm", "s T", "s T/VIDEO_TS"},
            {"T/VIDEO_TS/", "T/EXTRAS/", "T/EXTRAS/a.txt", "T/VIDEO_TS/V.IFO", "T/index.htm"},
            {"T/VIDEO_TS/", "T/EXTRAS/", "T/index.htm"}},
           {"so its own name is not measured",
            {"f T/" + longName + "/A.TXT", "d T/" + longName + "/X", "s T/" + longName, "s T/" + longName + "/X"},
            {"T/" + longName + "/X/", "T/" + longName + "/A.TXT"}}}) {
    SCOPED_TRACE(c.what);
    ScanFixture scan;
    scan.Make(c.sources);
    ASSERT_TRUE(BuildTreeListing(scan.job));
    EXPECT_TRUE(scan.Messages().empty());
    auto under = [&](const Strings& lines) {
      Strings paths;
      for (const std::string& line : lines) paths.push_back(scan.Src(line));
      return paths;
    };
    EXPECT_EQ(Lines(scan.job.treeListPath), under(c.lines));
    if (c.root.empty()) continue;
    ASSERT_TRUE(WriteDirectoryListings(scan.job, DirectoryLines(scan.job.treeListPath)));
    EXPECT_EQ(Lines(scan.Tmp("tm0000.txt")), under(c.root));
  }
}

// Alias keys are relative to the longest base that ends at a folder boundary:
// the base ".../DATA" must not cut ".../DATA1.TXT" into "TXT".
TEST(TreeListing, FoldersWithDifferentParentsGiveTwoBasesMatchedAtFolderBoundaries) {
  ScanFixture scan;
  scan.Make({"f A/X/one.txt", "f LONGER/Y/two.txt", "s A/X", "s LONGER/Y"});
  ASSERT_TRUE(BuildTreeListing(scan.job));
  EXPECT_EQ(scan.job.sourceBases, (Strings{scan.Src("LONGER"), scan.Src("A")}));  // longest first
  ASSERT_TRUE(WriteDirectoryListings(scan.job, DirectoryLines(scan.job.treeListPath)));
  EXPECT_EQ(Lines(scan.Tmp("tm0000.txt")), (Strings{scan.Src("A/X/"), scan.Src("LONGER/Y/")}));
  EXPECT_EQ(AliasKey(scan.job, scan.Src("LONGER/Y/two.txt")), "Y/two.txt");

  ScanFixture data;
  data.Make({"f T/DATA/Q/q.txt", "f T/DATA1.TXT", "f T/DATA2.TXT", "d T/Z", "s T/DATA/Q", "s T/Z", "s T/DATA1.TXT",
             "s T/DATA2.TXT"});
  ASSERT_TRUE(BuildTreeListing(data.job));
  EXPECT_EQ(AliasKey(data.job, data.Src("T/DATA1.TXT")), "DATA1.TXT");
  EXPECT_EQ(AliasKey(data.job, data.Src("T/DATA/Q/q.txt")), "Q/q.txt");
  EXPECT_EQ(AliasKey(data.job, data.Src("T/DATA")), "");  // a base itself
  AliasTable aliases;
  ASSERT_TRUE(aliases.Load(data.job));
  EXPECT_EQ(aliases.Find("DATA2.TXT"), data.Src("T/DATA2.TXT"));
}

TEST(TreeListing, NineThousandNineHundredNinetyEightFoldersPassAndOneMoreIsRefused) {
  // Thousands of folders are made and removed fast in memory; on a disk
  // removing them can take a minute.
  std::error_code ignored;
  std::string top = fs::is_directory("/dev/shm", ignored) ? "/dev/shm/pravel-scan-XXXXXX"
                                                          : (fs::temp_directory_path() / "pravel-scan-XXXXXX").string();
  ASSERT_NE(::mkdtemp(top.data()), nullptr);
  struct Remover {
    std::string path;
    ~Remover() { std::error_code e; fs::remove_all(path, e); }
  } remover{top};
  top += "/TOP";
  MakeDirs(top);
  for (int i = 0; i < 9997; ++i) fs::create_directory(top + "/" + std::to_string(i));

  ScanFixture scan;
  scan.job.AddSource(top);
  ASSERT_TRUE(BuildTreeListing(scan.job));
  EXPECT_EQ(scan.job.folderCount, 9997u);
  EXPECT_TRUE(scan.Messages().empty());

  fs::create_directory(top + "/one-more");
  ScanFixture over;
  over.job.AddSource(top);
  EXPECT_FALSE(BuildTreeListing(over.job));
  over.ExpectOneMessage({"The maximum number of sub-directories by this release is 9999. This limit has been exceed"},
                        "Tool limits exceeded!");
}

TEST(TreeListing, OnlyFilesSelectedIsAUsageErrorAndAnEmptyFolderIsEnough) {
  ScanFixture scan;
  scan.Make({"f a.txt", "s a.txt"});
  EXPECT_FALSE(BuildTreeListing(scan.job));
  scan.ExpectOneMessage({"There are no sub-directories in the file list. This tool expects there to be at least 1 "
                         "sub-directory in the file list, even if its empty."},
                        "Usage error!");
  scan.Make({"d EMPTY", "s EMPTY"});
  EXPECT_TRUE(BuildTreeListing(scan.job));

  ScanFixture none;  // an empty source list fails without a message
  EXPECT_FALSE(BuildTreeListing(none.job));
  EXPECT_TRUE(none.Messages().empty());
}

TEST(TreeListing, TheCharacterCheckAsksOnceAndOnlyNoEndsTheScan) {
  for (const platform::Answer answer : {platform::Answer::kNo, platform::Answer::kYes}) {
    ScanFixture scan;
    scan.job.noWarningMessages = 0;
    scan.Make({"f T/F/read-me.txt", "s T/F"});
    scan.test.ui.QueueAnswers({answer});
    EXPECT_EQ(BuildTreeListing(scan.job), answer == platform::Answer::kYes);
    scan.ExpectOneMessage({}, "Ignore this and all similar errors?");
  }
}

TEST(ProjectLoad, TheDvdVideoFolderComesFirstAndTheProjectContentsFollow) {
  ScanFixture scan;
  scan.Make({"f P/VIDEO_TS/VIDEO_TS.IFO", "f P/.git/config", "f P/.hidden", "f P/b.txt", "d P/EXTRA"});
  scan.job.projectPath = scan.Src("P") + "/";
  scan.job.dvdVideoPath = scan.Src("P/VIDEO_TS");
  ASSERT_TRUE(LoadProjectSources(scan.job));
  EXPECT_EQ(scan.job.sourcePaths,
            (Strings{scan.Src("P/VIDEO_TS"), scan.Src("P/.hidden"), scan.Src("P/EXTRA"), scan.Src("P/b.txt")}));
  ASSERT_TRUE(BuildTreeListing(scan.job));
  ASSERT_TRUE(WriteDirectoryListings(scan.job, DirectoryLines(scan.job.treeListPath)));
  EXPECT_EQ(Lines(scan.Tmp("tm0000.txt")),
            (Strings{scan.Src("P/VIDEO_TS/"), scan.Src("P/.hidden"), scan.Src("P/EXTRA/"), scan.Src("P/b.txt")}));
}

TEST(ProjectLoad, AMissingProjectAddsNothing) {
  ScanFixture scan;
  scan.job.projectPath = scan.Src("NOWHERE");
  EXPECT_TRUE(LoadProjectSources(scan.job));
  EXPECT_EQ(scan.job.sourceCount, 0u);
  EXPECT_TRUE(scan.Messages().empty());
}

}  // namespace
}  // namespace pravel
