// Batch runs of build/pravel on titles holding the synthetic VIDEO_TS of
// tests/tools/make_video_ts.py: where the DVD-Video files lie in the volume,
// what DVD readers make of the image, and how broken tables are refused.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "e2e/installation.h"
#include "job/runtime.h"
#include "support/test_support.h"

namespace pravel {
namespace {

namespace fs = std::filesystem;
using testing::Contains;
using testing::Outcome;
using testing::Quoted;
using testing::ReadFile;

constexpr const char* kContentCaption = "DVD-V content file error!";

// An installation whose title folder holds two files, and a DVD-Video folder
// holding the synthetic VIDEO_TS.
class DvdVideoImageTest : public ::testing::Test {
 protected:
  DvdVideoImageTest() {
    testing::WriteFile(in_.Title() + "/README.TXT", std::string(3000, 'r'));
    testing::WriteFile(in_.Title() + "/EXTRAS/NOTES.TXT", std::string(5000, 'n'));
    Outcome made = Remake(MakeVideoTs(), "");
    EXPECT_EQ(made.status, 0) << made.output;
  }

  std::string VideoTs() const { return in_.root / "dvd/VIDEO_TS"; }
  std::string Image() const { return in_.Images() + "/LAYER01.IMG"; }
  static std::string MakeVideoTs() { return "/usr/bin/python3 " + Quoted(testing::ToolPath("make_video_ts.py")); }

  // No run of these tests reads standard input.
  Outcome Shell(const std::string& command) const {
    return testing::RunShell(command + " </dev/null", in_.root / "shell.txt");
  }

  // Replaces the DVD-Video folder with one made by `tool` and its arguments.
  Outcome Remake(const std::string& tool, const std::string& arguments) const {
    fs::remove_all(in_.root / "dvd");
    return Shell(tool + " " + Quoted(in_.root / "dvd") + " " + arguments);
  }

  // Every reader gives the disc's root back: the title's entries beside
  // VIDEO_TS. The zone read back through the image's own tables, every
  // reader's extent compared with them; then lsdvd lists and dvdbackup copies
  // the image.
  void ExpectPlayableAsItsTablesSay(int titles, const std::string& name) {
    const std::string root = in_.root / ("root-" + name);
    fs::copy(in_.Title(), root, fs::copy_options::recursive | fs::copy_options::create_hard_links);
    fs::copy(VideoTs(), root + "/VIDEO_TS", fs::copy_options::recursive | fs::copy_options::create_hard_links);
    Outcome check = Shell("/usr/bin/python3 " + Quoted(testing::ToolPath("check_image.py")) + " " + Quoted(Image()) +
                          " " + Quoted(root) + " --work-dir " + Quoted(in_.root.path()));
    EXPECT_EQ(check.status, 0) << check.output;
    Outcome layout = Shell("/usr/bin/python3 " + Quoted(testing::ToolPath("check_dvd_layout.py")) + " " +
                           Quoted(Image()) + " " + Quoted(VideoTs()));
    EXPECT_TRUE(Contains(layout.output, "zone as its tables say")) << layout.output;
    Outcome listed = Shell("lsdvd " + Quoted(Image()));
    EXPECT_EQ(listed.status, 0) << listed.output;
    EXPECT_TRUE(Contains(listed.output, Format("Title: %02d,", titles))) << listed.output;
    EXPECT_FALSE(Contains(listed.output, "CHECK_VALUE")) << listed.output;
    const std::string copies = in_.root / "copies";
    Outcome copied = Shell("dvdbackup -M -n " + name + " -i " + Quoted(Image()) + " -o " + Quoted(copies));
    EXPECT_EQ(copied.status, 0) << copied.output;
    for (const auto& entry : fs::directory_iterator(VideoTs())) {
      const std::string file = entry.path().filename().string();
      EXPECT_EQ(ReadFile(copies + "/" + name + "/VIDEO_TS/" + file), ReadFile(entry.path().string())) << file;
    }
  }

  Installation in_;
};

// The synthetic title, whose tables lay its files back to back in player
// order; one whose video manager is declared to end at sector 31 with its
// BUP behind a gap, and two title sets whose backups lie behind gaps of
// their own; two title sets authored from encoded clips by a DVD authoring
// tool (exit status 77: the tools are not installed).
TEST_F(DvdVideoImageTest, EveryFileLiesAtItsTableSectorAndReadersPlayIt) {
  struct Case {
    std::string name, tool, arguments;
    int titles;
  };
  for (const Case& c : {Case{"SYNTHETIC", "", "", 1}, Case{"GAPS", MakeVideoTs(), "--sets 2 --manager-last 31 --set-gap 4", 2},
                        Case{"AUTHORED", "bash " + Quoted(testing::ToolPath("make_real_dvd.sh")), "", 2}}) {
    SCOPED_TRACE(c.name);
    if (!c.tool.empty()) {
      Outcome made = Remake(c.tool, c.arguments);
      if (made.status == 77) continue;
      ASSERT_EQ(made.status, 0) << made.output;
    }
    Outcome run = in_.RunBatch("-nw -dvdv=" + Quoted(VideoTs()));
    ASSERT_EQ(run.status, 0) << run.output;
    ASSERT_FALSE(testing::Exists(in_.Marker()));
    EXPECT_FALSE(Contains(run.output, kContentCaption)) << run.output;
    ExpectPlayableAsItsTablesSay(c.titles, c.name);
  }
}

// Tables that put a file where it can not lie (the zone tests refuse every
// kind with its message) stop the run before any file data is written,
// naming the file; the sources stay as they were.
TEST_F(DvdVideoImageTest, TablesThatCanNotBePlacedAreRefused) {
  Outcome made = Remake(MakeVideoTs(), "--sets 2 --break overlap");
  ASSERT_EQ(made.status, 0) << made.output;
  auto sources = [&] {
    std::string bytes;
    for (const auto& entry : fs::directory_iterator(VideoTs())) bytes += ReadFile(entry.path().string());
    return bytes;
  };
  const std::string before = sources();
  Outcome run = in_.RunBatch("-nw -dvdv=" + Quoted(VideoTs()));
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_TRUE(testing::Exists(in_.Marker()));
  EXPECT_TRUE(Contains(run.output, std::string(kContentCaption) + ": ")) << run.output;
  EXPECT_TRUE(Contains(run.output, VideoTs() + "/VTS_01_1.VOB")) << run.output;
  EXPECT_EQ(sources(), before);
}

}  // namespace
}  // namespace pravel
