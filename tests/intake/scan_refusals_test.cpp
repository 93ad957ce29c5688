// Sources the scan refuses, each with a message that names what is wrong.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "intake/scan_fixture.h"
#include "intake/tree_scan.h"

namespace pravel {
namespace {

using testing::ScanFixture;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

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
      {"name that is not UTF-8", {"f T/F/bad\xFF.txt", "s T/F"}, {"is not valid UTF-8"}, kFormat, false},
      {"character beyond U+FFFF", {"f T/F/clef\xF0\x9D\x84\x9E", "s T/F"}, {"is not valid UTF-8"}, kFormat, false},
      {"control character", {"f T/F/two\nlines", "s T/F"}, {"[src/T/F/two?lines]", "control character"}, kFormat,
       false},
      {"trailing blank", {"d T/F/trailing ", "s T/F"}, {"[src/T/F/trailing ]"}, kFormat, false},
      {"empty project path", {}, {}, kUsage},
      {"project path that is no folder", {"f file", "P file"}, {"[src/file]"}, kIo},
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

TEST(ScanRefusals, TheGeneratedAutorunClashesWithASelectedOne) {
  ScanFixture scan;
  scan.Make({"d T/F", "f T/autorun.inf", "s T/F", "s T/autorun.inf"});
  scan.job.autorunEnabled = 1;
  EXPECT_FALSE(BuildTreeListing(scan.job));
  scan.ExpectOneMessage({scan.Tmp("AUTORUN.INF")}, kFormat);
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

// A title holding the run's own image or temporary directory would put the
// run's own files on the disc, emptied as the run begins.
TEST(ScanRefusals, AnImageOrTemporaryDirectoryInsideTheTitleIsRefused) {
  for (const std::string inside : {"images", "tmp"}) {
    SCOPED_TRACE(inside);
    ScanFixture scan;
    scan.Make({"d TITLE/" + inside, "f TITLE/A.TXT", "s TITLE"});
    scan.job.imagePath1 = scan.Src("TITLE/images/CONTROL.IMG");
    if (inside == "tmp") {
      scan.job.imagePath1 = scan.dir / "CONTROL.IMG";
      scan.job.tempDir = scan.Src("TITLE/tmp/");
    }
    EXPECT_FALSE(BuildTreeListing(scan.job));
    ASSERT_FALSE(scan.Messages().empty());
    EXPECT_EQ(scan.Messages().back().caption, kUsage);
    EXPECT_TRUE(testing::Contains(scan.Messages().back().text, scan.Src("TITLE/" + inside)));
  }
}

}  // namespace
}  // namespace pravel
