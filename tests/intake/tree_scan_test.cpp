// The scan of the sources: the tree listing and directory listings, the
// sources it refuses (each with one message naming what is wrong), AUTORUN.INF
// and the alias files.
#include "intake/tree_scan.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "intake/alias_files.h"
#include "intake/autorun.h"
#include "intake/directory_listing.h"
#include "intake/utf8.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using namespace testing;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

// A scan set up in a temporary directory: sources under "src", the run's
// temporary files under "tmp".
struct ScanFixture {
  ScanFixture() {
    MakeDirs(dir / "src");
    MakeDirs(dir / "tmp");
    job.tempDir = dir / "tmp/";
    job.tempDirPlain = dir / "tmp";
    job.treeListPath = job.tempDir + "tm.txt";
    job.imagePath1 = dir / "CONTROL.IMG";
    // The test directory's name holds a hyphen; only the tests of the
    // character check want its question.
    job.noWarningMessages = 1;
  }

  std::string Src(const std::string& relative) const { return dir / ("src/" + relative); }
  std::string Tmp(const std::string& relative) const { return dir / ("tmp/" + relative); }
  void Select(const std::string& relative) { job.AddSource(Src(relative)); }

  // Builds sources from lines "<kind> <path under src>": d a folder, f a file,
  // p a pipe, s a selection, P the project folder, V the DVD-Video folder, l
  // "<link> -> <target>" a symbolic link, I the image directory, T the
  // temporary directory, "a" autorun on.
  void Make(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
      const std::string path = line.size() > 2 ? line.substr(2) : "";
      switch (line[0]) {
        case 'd': MakeDirs(Src(path)); break;
        case 'f': WriteFile(Src(path), path); break;
        case 's': Select(path); break;
        case 'P': job.projectPath = Src(path); break;
        case 'V': job.dvdVideoPath = Src(path); break;
        case 'a': job.autorunEnabled = 1; break;
        case 'I': job.imagePath1 = Src(path) + "/CONTROL.IMG"; break;
        case 'T': job.tempDir = Src(path) + "/"; break;
        case 'p':
          MakeDirs(std::filesystem::path(Src(path)).parent_path());
          ASSERT_EQ(::mkfifo(Src(path).c_str(), 0600), 0) << path;
          break;
        case 'l': {
          const size_t arrow = path.find(" -> ");
          MakeDirs(std::filesystem::path(Src(path.substr(0, arrow))).parent_path());
          std::filesystem::create_symlink(path.substr(arrow + 4), Src(path.substr(0, arrow)));
          break;
        }
        default: FAIL() << "unknown source line " << line;
      }
    }
  }
  // A text with "src/" and "tmp/" standing for this fixture's folders.
  std::string Expand(const std::string& text) const {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
      const std::string place = text.substr(i, 4);
      const bool folder = place == "src/" || place == "tmp/";
      out += folder ? dir / place : text.substr(i, 1);
      i += folder ? 3 : 0;
    }
    return out;
  }
  const std::vector<platform::RecordedMessage>& Messages() const { return test.ui.messages; }
  void ExpectOneMessage(const std::vector<std::string>& pieces, const std::string& caption) const {
    testing::ExpectOneMessage(test.ui, pieces, caption);
  }

  testing::TempDir dir;
  testing::TestJob test;
  Job& job = test.job;
};

// The CR LF lines of a file; those of directories alone, as the builder numbers them.
Strings Lines(const std::string& path, bool directoriesOnly = false) {
  Strings lines;
  const std::string text = ReadFile(path);
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find("\r\n", start), text.size());
    if (!directoriesOnly || text[end - 1] == '/') lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}
Strings DirectoryLines(const std::string& treeList) { return Lines(treeList, true); }

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
           {"an empty folder is enough", {"d EMPTY", "s EMPTY"}, {"EMPTY/"}},
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
            {"T/" + longName + "/X/", "T/" + longName + "/A.TXT"}},
           {"a project gives its DVD-Video folder first, then its entries but dot-folders",
            {"f P/VIDEO_TS/VIDEO_TS.IFO", "f P/.git/config", "f P/.hidden", "f P/b.txt", "d P/EXTRA", "P P/",
             "V P/VIDEO_TS"},
            {"P/VIDEO_TS/", "P/.hidden", "P/EXTRA/", "P/b.txt", "P/VIDEO_TS/VIDEO_TS.IFO"},
            {"P/VIDEO_TS/", "P/.hidden", "P/EXTRA/", "P/b.txt"}}}) {
    SCOPED_TRACE(c.what);
    ScanFixture scan;
    scan.Make(c.sources);
    auto under = [&](const Strings& lines, bool trailingSlash = true) {
      Strings paths;
      for (const std::string& line : lines) {
        paths.push_back(scan.Src(trailingSlash || line.back() != '/' ? line : line.substr(0, line.size() - 1)));
      }
      return paths;
    };
    if (!scan.job.projectPath.empty()) {  // the project's entries are the sources, in the root's order
      ASSERT_TRUE(LoadProjectSources(scan.job));
      EXPECT_EQ(scan.job.sourcePaths, under(c.root, false));
    }
    ASSERT_TRUE(BuildTreeListing(scan.job));
    EXPECT_TRUE(scan.Messages().empty());
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

constexpr const char* kFormat = "Format error, aborting";
constexpr const char* kIo = "Fatal IO error!";
constexpr const char* kUsage = "Usage error";

struct Refusal {
  const char* what;
  Strings sources;  // as ScanFixture::Make takes them
  Strings named;    // what the one message must name, "src/" and "tmp/" expanded
  const char* caption;
  bool beforeListing = true;  // refused while the tree is walked, before anything is listed
};

TEST(ScanRefusals, EachRefusedSourceEndsTheScanWithOneMessageNamingIt) {
  const std::string name65 = std::string(61, 'n') + ".txt";
  const std::vector<Refusal> cases = {
      {"selected folder named with 65 characters", {"d D/" + name65, "d T/F", "s T/F", "s D/" + name65},
       {"[src/D/" + name65 + "] exceeds"}, kFormat},
      {"selected file of a listed folder named with 65 characters", {"f T/F/" + name65, "s T/F", "s T/F/" + name65},
       {"[src/T/F/" + name65 + "] exceeds"}, kFormat},
      {"link back into its own ancestry", {"d T/F/sub", "l T/F/sub/up -> ../..", "s T/F"},
       {"src/T/F/sub/up", "[src/T]"}, kFormat},
      {"links leading to each other's folders", {"l A/to-b -> ../B", "l B/to-a -> ../A", "s A"},
       {"src/A/to-b/to-a"}, kFormat},
      {"pipe in a folder", {"p T/F/pipe", "s T/F"}, {"[src/T/F/pipe]", "pipe"}, kFormat},
      {"pipe selected", {"d T/F", "p T/pipe", "s T/F", "s T/pipe"}, {"[src/T/pipe]"}, kFormat},
      {"dangling link", {"l T/F/dangling -> nowhere", "s T/F"}, {"[src/T/F/dangling]"}, kIo},
      {"missing source", {"d T/F", "s T/F", "s T/gone.txt"}, {"[src/T/gone.txt]"}, kIo},
      {"names equal but for case in one folder", {"f T/F/README", "f T/F/readme", "s T/F"},
       {"src/T/F/README", "src/T/F/readme"}, kFormat},
      {"selected folders of one name from different parents",
       {"d A/VIDEO_TS", "d B/video_ts", "s A/VIDEO_TS", "s B/video_ts"}, {"src/A/VIDEO_TS", "src/B/video_ts"},
       kFormat},
      {"selected file and folder of one name in the root", {"d A/DATA", "f B/data", "s A/DATA", "s B/data"},
       {"src/A/DATA", "src/B/data"}, kFormat},
      {"letters beyond ASCII equal but for case", {"f T/F/\xC3\xA9t\xC3\xA9", "f T/F/\xC3\x89T\xC3\x89", "s T/F"},
       {"src/T/F/"}, kFormat},
      {"folder selected deeper inside another selected folder", {"d T/A/B", "s T", "s T/A/B"},
       {"src/T/A/B", "[src/T]"}, kUsage},
      {"file that would stand in no directory", {"d T/X", "f T/Y/f.txt", "s T/X", "s T/Y/f.txt"},
       {"src/T/Y/f.txt", "[src/T]"}, kUsage},
      {"name that is not UTF-8", {"f T/F/bad\xFF.txt", "s T/F"}, {"[src/T/F/bad\xEF\xBF\xBD.txt] is not valid UTF-8"},
       kFormat, false},
      {"character beyond U+FFFF", {"f T/F/clef\xF0\x9D\x84\x9E", "s T/F"}, {"is not valid UTF-8"}, kFormat, false},
      {"control character", {"f T/F/two\nlines", "s T/F"}, {"[src/T/F/two?lines]", "control character"}, kFormat,
       false},
      {"trailing blank", {"d T/F/trailing ", "s T/F"}, {"[src/T/F/trailing ]"}, kFormat, false},
      {"empty project path", {}, {}, kUsage},
      {"only files selected", {"f a.txt", "s a.txt"},
       {"There are no sub-directories in the file list. This tool expects there to be at least 1 sub-directory in "
        "the file list, even if its empty."},
       "Usage error!", false},
      // A title holding the run's own image or temporary directory would put
      // the run's own files on the disc, emptied as the run begins.
      {"image directory inside the title", {"d TITLE/images", "f TITLE/A.TXT", "s TITLE", "I TITLE/images"},
       {"src/TITLE/images"}, kUsage},
      {"temporary directory inside the title", {"d TITLE/tmp", "f TITLE/A.TXT", "s TITLE", "T TITLE/tmp"},
       {"src/TITLE/tmp"}, kUsage},
      {"project path that is no folder", {"f file", "P file"}, {"[src/file]"}, kIo},
      {"generated AUTORUN.INF beside a selected one", {"d T/F", "f T/autorun.inf", "s T/F", "s T/autorun.inf", "a"},
       {"tmp/AUTORUN.INF"}, kFormat},
      {"project entry named with 65 characters", {"f P/" + name65, "P P"},
       {"The file/directory name [src/P/" + name65 +
        "] exceeds the maximum file name length accepted by this tool and the DVD file systems."},
       kFormat},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.what);
    ScanFixture scan;
    scan.Make(c.sources);
    Strings named;
    for (const std::string& piece : c.named) named.push_back(scan.Expand(piece));
    EXPECT_FALSE(scan.job.sourceCount == 0 ? LoadProjectSources(scan.job) : BuildTreeListing(scan.job));

    scan.ExpectOneMessage(named, c.caption);
    if (c.beforeListing) {
      EXPECT_FALSE(testing::Exists(scan.job.treeListPath));
    }
  }
}

// A missing project adds nothing, and an empty source list fails without a message.
TEST(ScanRefusals, AnEmptySourceListFailsWithoutAMessage) {
  ScanFixture none;
  none.job.projectPath = none.Src("NOWHERE");
  EXPECT_TRUE(LoadProjectSources(none.job));
  EXPECT_EQ(none.job.sourceCount, 0u);
  EXPECT_FALSE(BuildTreeListing(none.job));
  EXPECT_TRUE(none.Messages().empty());
}

TEST(ScanRefusals, AFolderThatCanNotBeListedEndsTheScan) {
  ScanFixture scan;
  scan.Make({"d T/F/locked", "s T/F"});
  fs::permissions(scan.Src("T/F/locked"), fs::perms::none);
  if (::access(scan.Src("T/F/locked").c_str(), R_OK) == 0) GTEST_SKIP() << "running with the right to read any folder";
  EXPECT_FALSE(BuildTreeListing(scan.job));
  scan.ExpectOneMessage({scan.Expand("[src/T/F/locked]")}, kIo);
}

TEST(ScanRefusals, TheSourceListRefusesAnEntryBeyondItsRoom) {
  ScanFixture scan;
  scan.Make({"d T/F"});
  for (uint32_t i = 0; i < limits::kSourceEntries; ++i) scan.Select("T/F");
  scan.job.autorunEnabled = 1;  // AUTORUN.INF would be one entry too many
  EXPECT_FALSE(BuildTreeListing(scan.job));
  scan.ExpectOneMessage({"100000"}, "Tool limits exceeded!");
  EXPECT_EQ(scan.job.sourceCount, limits::kSourceEntries);

  ScanFixture load;
  load.Make({"f P/a.txt", "f P/b.txt"});
  for (uint32_t i = 1; i < limits::kSourceEntries; ++i) load.Select("T/F");
  load.job.projectPath = load.Src("P");
  EXPECT_FALSE(LoadProjectSources(load.job));
  load.ExpectOneMessage({}, "Tool limits exceeded!");
}

TEST(AutorunInf, HoldsTwoEmptyLinesTheSectionOpenAndTheIconWhenGiven) {
  struct Case { std::string program, icon, text; };
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
  EXPECT_FALSE(Exists(AliasFilePath(scan.job, scan.job.paliasCount)));  // none beyond the last
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
