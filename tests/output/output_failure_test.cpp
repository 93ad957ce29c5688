// Refusals of the output stage: sizes, free space, the summary question,
// changed sources, unwritable images, and what each leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "output/copy_progress.h"
#include "output_fixture.h"

namespace pravel::output_test {
namespace {

using testing::Exists;

class OutputFailureTest : public OutputTest {
 protected:
  // A failed run leaves the marker and no image file, finished or not.
  void ExpectMarkerAndNoImage() {
    EXPECT_TRUE(MarkerExists());
    for (const std::string& path : {job.imagePath1, job.imagePath2, job.imagePath3}) {
      EXPECT_FALSE(Exists(path)) << path;
      EXPECT_FALSE(Exists(path + ".part")) << path;
    }
    EXPECT_TRUE(job.fileDataList.empty());
  }
  // The settings the cases below change, as the fixture made them.
  void Reset() {
    ClearOutcome();
    job.singleLayer = 1;
    job.layerCapacity = geometry::kSingleLayerCapacity;
    job.noWarningMessagesOutput = 1;
    job.toTape = 0;
    job.freeSectors1 = 4000000000u;
    job.freeSectors2 = 4000000000u;
  }
};

// Each case prepares the job and gives the layout the builder leaves (and
// what changes behind its back); the run shows one message.
TEST_F(OutputFailureTest, RefusedRunsShowOneMessage) {
  const std::string source = AddSource("a.bin", 10);
  const std::string grown = AddSource("grown.bin", 3000), gone = AddSource("gone.bin", 3000);
  // Sector counts whose 32-bit sum wraps to a small title.
  Layout huge;
  for (uint32_t i = 0; i < 2; ++i) {
    FileDataRecord record;
    record.path = dir / "src/none";
    record.startSector = kDataStart + i * 0x80000000u;
    record.sectorCount = 0x80000000u;
    record.byteLength = uint64_t{0x80000000u} * kSector;
    huge.records.push_back(record);
  }
  huge.volumeSectors = 64;
  Layout tooMany = BackToBack({source});
  tooMany.records.resize(250001, tooMany.records[0]);
  Layout overMetadata = BackToBack({source});
  overMetadata.records[0].startSector = 20;
  struct Case {
    std::string what;
    std::function<void()> prepare;
    Layout layout;
    std::string caption, text;
    bool wholeText = true;
    std::function<void()> afterBuild = {};
  };
  const std::vector<Case> cases = {
      {"exactly one layer on a single-layer disc", [&] { job.layerCapacity = 64; },
       BackToBack({AddSource("b.bin", 13 * kSector)}), "Operations error!",
       "This DVD title exceeds the maximum size allowed on a single layer disc. You had selected to make a single "
       "layer disc. You will have to reduce the title size or select to make a dual layer title disc. The total "
       "size of this title disc image is 64 sectors. The maximum number of sectors allowed is 64."},
      {"wrapping sum, single layer", [] {}, huge, "Operations error!", "is 4294967344 sectors.", false},
      {"wrapping sum, dual layer",
       [&] {
         job.singleLayer = 0;
         job.layerCapacity = 2084960;
       },
       huge, "Insufficient DVD disc space!",
       "Total disc image size of this title (4294967344 sectors) exceeds dual layer capacity of DVD.", false},
      // Free space is not checked for tape.
      {"tape",
       [&] {
         job.toTape = 1;
         job.freeSectors1 = 0;
       },
       BackToBack({source}), "Not available", "This build of Pravel can not do that yet: writing to tape."},
      {"no to the summary",
       [&] {
         job.noWarningMessagesOutput = 0;
         t.ui.QueueAnswers({platform::Answer::kNo});
       },
       BackToBack({source}), "Continue?",
       "This is a single layer DVD disc title with 64 sectors. The title is comprised of 3 Directory Folders and 5 "
       "Files"},
      {"source changed", [] {}, BackToBack({source, grown}), "Disc Image Builder Error!",
       "Can not copy " + grown + " into the disc image: the file has changed since the file system was built (5 "
       "bytes now, 3000 bytes then).",
       true, [&] { testing::WriteFile(grown, "short"); }},
      {"source removed", [] {}, BackToBack({source, gone}), "Disc Image Builder Error!",
       "Can not copy " + gone + " into the disc image: No such file or directory.", true,
       [&] { std::filesystem::remove(gone); }},
      {"too many records", [] {}, tooMany, "Tool limits exceeded!", "", false},
      {"metadata not ending on a block", [] {}, BackToBack({source}, 40), "Report error code 0101",
       "Internal error caused illegal disc image format!"},
      {"file data over the metadata", [] {}, overMetadata, "Report error code 0102", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    c.prepare();
    EXPECT_FALSE(Run(c.layout, c.afterBuild));
    ExpectOnlyMessage(c.caption, c.wholeText ? c.text : "");
    EXPECT_TRUE(testing::Contains(t.ui.messages.at(0).text, c.text)) << t.ui.messages.at(0).text;
    ExpectMarkerAndNoImage();
  }
}

// Single layer short of space; dual layer short in layer 2 (kilobytes that
// must not wrap); both image directories on one file system, enough for
// either layer but not for both; exactly the title's sectors, where
// CONTROL.IMG's do not fit beside it.
TEST_F(OutputFailureTest, FreeSpaceIsCheckedBeforeAnyFileData) {
  struct Case {
    bool dual;
    uint64_t free1, free2;
    std::vector<std::string> texts;  // empty: not checked
  };
  const std::vector<Case> cases = {
      {false, 63, 4000000000u,
       {"Amount of disk free space for a single layer DVD title is insufficient. Increase hard disk partition for "
        "layer 1 to 128K byte size and free space.",
        "The title requires 128K bytes in layer 1. Layer 1 disk partition has 126K available."}},
      {true, 4000000000u, 31,
       {"Amount of disk free space for a dual layer DVD title is insufficient. Increase each hard disk partition "
        "to 4G byte size and free space.",
        "The title requires 192K bytes, 128K in layer 1 and 64K in layer 2. Layer 1 disk partition has "
        "8000000000K available and Layer 2 disk parition has 62K available."}},
      {true, 80, 80, {}},
      {false, 64, 4000000000u, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.free1);
    Reset();
    job.layerCapacity = c.dual ? 64 : geometry::kSingleLayerCapacity;
    job.singleLayer = c.dual ? 0 : 1;
    job.freeSectors1 = c.free1;
    job.freeSectors2 = c.free2;
    EXPECT_FALSE(Run(BackToBack({AddSource("a.bin", c.dual ? 40 * kSector : 5000)})));  // 88 -> 96 or 64 sectors
    ASSERT_EQ(t.ui.messages.size(), 2u);
    EXPECT_EQ(t.ui.messages[0].caption, "Insufficient Hard Disk Space for title!");
    EXPECT_EQ(t.ui.messages[1].caption, "System status");
    if (!c.texts.empty()) {
      EXPECT_EQ(t.ui.messages[0].text, c.texts[0]);
      EXPECT_EQ(t.ui.messages[1].text, c.texts[1]);
    }
    ExpectMarkerAndNoImage();
  }
}

// Layer 2 on a full disk (its unfinished file a link to /dev/full, where
// writes fail with "No space left on device") or in a directory that does
// not exist: layer 1 is not left behind either.
TEST_F(OutputFailureTest, LayerTwoThatCanNotBeWritten) {
  struct Case {
    std::string path, caption, text;
  };
  testing::MakeDirs(dir / "full");
  const std::string full = dir / "full/LAYER02.IMG", missing = dir / "missing/LAYER02.IMG";
  for (const Case& c :
       {Case{full, "Fatal IO error!", "Can not write to " + full + ".part: No space left on device"},
        Case{missing, "Disc Image Builder Error!", "Can not create Layer 2 Disc Image file " + missing + ".part"}}) {
    SCOPED_TRACE(c.path);
    ClearOutcome();
    std::filesystem::create_symlink("/dev/full", full + ".part");
    job.imagePath3 = c.path;
    job.layerCapacity = 64;
    job.singleLayer = 0;
    EXPECT_FALSE(Run(BackToBack({AddSource("a.bin", 40 * kSector)})));
    ExpectOnlyMessage(c.caption, c.text);
    EXPECT_TRUE(MarkerExists());
    EXPECT_FALSE(Exists(job.imagePath1));
    EXPECT_FALSE(Exists(job.imagePath2));
    std::filesystem::remove(full + ".part");
  }
  EXPECT_TRUE(Exists("/dev/full"));
}

// A rename that fails after another image took its name: that one goes too,
// so no finished-looking image stands beside the marker.
TEST_F(OutputFailureTest, ImagesAreNamedAllOrNone) {
  testing::WriteFile(job.imagePath2 + "/in_the_way", "x");  // LAYER01.IMG is a folder
  EXPECT_FALSE(Run(BackToBack({AddSource("a.bin", 10)})));
  ExpectOnlyMessage("Fatal IO error!");
  EXPECT_TRUE(MarkerExists());
  EXPECT_FALSE(Exists(job.imagePath1));
  EXPECT_FALSE(Exists(job.imagePath1 + ".part"));
  EXPECT_FALSE(Exists(job.imagePath2 + ".part"));
}

TEST_F(OutputFailureTest, ImageFilesThatCanNotBeCreatedLeaveTheMarkerToTheDriver) {
  job.imagePath1 = dir / "missing/CONTROL.IMG";
  bool built = false;
  EXPECT_FALSE(BuildImageAndOutput(job, [&](Job&, SectorWriter&) { return built = true; }));
  EXPECT_FALSE(built);
  ExpectOnlyMessage("Disc Image Builder Error!", "Can not create Disc Image file " + job.imagePath1 + ".part");
  EXPECT_FALSE(MarkerExists());
}

TEST(CopyProgressText, NamesTheFileBytesRateAndTimeLeft) {
  uint64_t gib = uint64_t{1} << 30;
  EXPECT_EQ(FormatCopyProgress("VTS_01_1.VOB", gib * 12 / 10, gib * 34 / 10, 13528),
            "Add to image -> VTS_01_1.VOB  1.2 GiB of 3.4 GiB, 95 MB/s, 0:25 left");
  EXPECT_EQ(FormatCopyProgress("a.bin", 0, 5000, 0), "Add to image -> a.bin  0 bytes of 4.9 KiB");
  EXPECT_EQ(FormatCopyProgress("b", 3 << 20, 6 << 20, 3000), "Add to image -> b  3.0 MiB of 6.0 MiB, 1.0 MB/s, 0:03 left");
}

// A clock whose steady time advances `step` ms on every reading.
class SteppingClock final : public platform::Clock {
 public:
  explicit SteppingClock(uint64_t step) : step_(step) {}
  platform::LocalTime Now() override { return {}; }
  uint32_t TickCount() override { return 0; }
  uint64_t ElapsedMilliseconds() override { return elapsed_ += step_; }

 private:
  uint64_t step_, elapsed_ = 0;
};

// One reading per record and one per copied block: 24 readings of 30 ms,
// shown when 100 ms have passed since the last one shown; a clock that
// stands still shows the first line only.
TEST_F(OutputFailureTest, ProgressIsShownAtMostTenTimesASecond) {
  std::vector<std::string> sources;
  for (int i = 0; i < 12; ++i) sources.push_back(AddSource("f" + std::to_string(i), 100));
  for (const auto& [step, fewest, most] : {std::tuple{30u, 5u, 8u}, std::tuple{0u, 1u, 1u}}) {
    SCOPED_TRACE(step);
    t.ui.statusLines.clear();
    SteppingClock clock(step);
    job.clock = &clock;
    ASSERT_TRUE(Run(BackToBack(sources)));
    std::vector<std::string> progress;
    for (const std::string& line : t.ui.statusLines) {
      if (line.starts_with("Add to image -> ")) progress.push_back(line);
    }
    ASSERT_GE(progress.size(), fewest);
    EXPECT_LE(progress.size(), most);
    EXPECT_EQ(progress.front(), "Add to image -> f0  0 bytes of 1.2 KiB");
    if (step > 0) {
      EXPECT_TRUE(progress.back().ends_with(" left")) << progress.back();
    }
  }
}

}  // namespace
}  // namespace pravel::output_test
