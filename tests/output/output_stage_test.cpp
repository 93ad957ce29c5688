// Whole runs of the output stage. Over a fake builder: the images a
// successful run leaves (LAYER01.IMG and LAYER02.IMG, the closing anchor,
// CONTROL.IMG, the log and compare files), its progress lines, and its
// refusals (sizes, free space, the summary question, changed sources,
// unwritable images) with what each leaves behind. With the real scan,
// builder and UDF writer: what of the UDF tree no reader checks, and the
// writer's refusal of damaged directory files (the batch runs read whole
// images back with tests/tools/check_image.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "intake/tree_scan.h"
#include "iso/builder.h"
#include "job/runtime.h"
#include "output/copy_progress.h"
#include "output/image_output.h"
#include "support/descriptor_checks.h"
#include "support/test_support.h"
#include "output_fixture.h"
#include "udf/udf_writer.h"

namespace pravel::output_test {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// The anchor in sector `sector` of `image`, naming `location`.
::testing::AssertionResult AnchorAt(const std::string& image, uint64_t sector, uint32_t location) {
  if (image.size() < (sector + 1) * kSector) return ::testing::AssertionFailure() << "image too short";
  return testing::AnchorIsValid(testing::BytesOf(image) + sector * kSector, location);
}

// CONTROL.IMG: its first 16 bytes as given, then zeros to 32,768 bytes.
void ExpectControl(const std::string& path, const std::vector<uint8_t>& head) {
  std::string expected(32768, '\0');
  expected.replace(0, head.size(), std::string(head.begin(), head.end()));
  EXPECT_EQ(ReadFile(path), expected);
}

// An empty file before a 2048-byte one, a 2049-byte one, a larger one; an
// earlier run's marker and LAYER02.IMG are removed; 48 + 3 + 1 + 2 = 54 data
// sectors end the volume at 64. The log lists measured and placed sectors.
TEST_F(OutputStageTest, SingleLayerImageHoldsMetadataFilesAnchorAndControlData) {
  testing::WriteFile(dir / "template/_cdferr", "");
  testing::WriteFile(job.imagePath3, "old layer two");
  const std::vector<std::string> sources = {AddSource("big.bin", 5000), AddSource("empty.bin", 0),
                                            AddSource("two.bin", 2048),
                                            AddSource("three.bin", 2049)};
  Layout layout = BackToBack(sources);
  job.writeLogFile = 1;
  ASSERT_EQ(layout.records[1].startSector, layout.records[2].startSector);  // empty file shares its start
  ASSERT_EQ(layout.volumeSectors, 64u);
  ASSERT_TRUE(Run(layout));
  std::string image = ReadFile(job.imagePath2);
  ASSERT_EQ(image.size(), 64u * kSector);
  std::string expected = ExpectedVolume(layout);
  size_t body = image.size() - kSector;
  EXPECT_TRUE(image.compare(0, body, expected, 0, body) == 0);
  EXPECT_TRUE(AnchorAt(image, 63, 63));
  ExpectControl(job.imagePath1, {0x01, 0x02, 0x01, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x03, 0x00, 0x3F});
  EXPECT_FALSE(Exists(job.imagePath3));
  EXPECT_FALSE(MarkerExists());
  EXPECT_TRUE(t.ui.messages.empty());
  EXPECT_EQ(std::vector<uint32_t>({job.totalSectors, job.layer1Sectors, job.layer2Sectors, job.fileDataCount}),
            std::vector<uint32_t>({64, 64, 0, 0}));
  EXPECT_EQ(job.dualLayer, 0);
  EXPECT_TRUE(job.fileDataList.empty());
  EXPECT_EQ(ReadFile(job.tempDir + "PravelLog.txt"),
            "Actual      Size in   FS        Computed  FS\n"
            " size       sectors   sectors   sector #  sector #  Content\n"
            "0000098304  00000048  00000048  00000000  00000000  File System\n"
            "0000005000  00000003  00000003  00000048  00000048  " + sources[0] + "\n"
            "0000002048  00000001  00000001  00000051  00000051  " + sources[2] + "\n"
            "0000000000  00000000  00000000  00000052  00000051  " + sources[1] + "\n"
            "0000002049  00000002  00000002  00000052  00000052  " + sources[3] + "\n");
  EXPECT_EQ(std::ranges::count(t.ui.statusLines, "Writing Pravel Log to " + job.tempDir + "PravelLog.txt"), 1);
}

TEST_F(OutputStageTest, DualLayerSplitJoinsToTheSingleLayerVolume) {
  Layout layout = StraddlingLayout();
  ASSERT_EQ(layout.records[1].startSector, 58u);
  ASSERT_EQ(layout.volumeSectors, 96u);
  job.layerCapacity = 64;
  job.singleLayer = 0;
  job.noWarningMessagesOutput = 0;
  t.ui.QueueAnswers({platform::Answer::kYes});
  ASSERT_TRUE(Run(layout));
  ExpectOnlyMessage("Continue?", "This is a dual layer DVD disc title with 96 sectors. Layer 1 will contain 64 sectors "
                                 "and Layer 2 will contain 32 sectors. The title contains 2 Directory Folders and 5 "
                                 "Files");
  std::string layer1 = ReadFile(job.imagePath2);
  std::string layer2 = ReadFile(job.imagePath3);
  EXPECT_EQ(layer1.size(), 64u * kSector);
  EXPECT_EQ(layer2.size(), 32u * kSector);
  std::string joined = layer1 + layer2;
  std::string expected = ExpectedVolume(layout);
  EXPECT_TRUE(joined.compare(0, joined.size() - kSector, expected, 0, expected.size() - kSector) == 0);
  EXPECT_TRUE(AnchorAt(layer2, 31, 95));
  EXPECT_EQ(job.dualLayer, 1);
  EXPECT_EQ(std::vector<uint32_t>({job.totalSectors, job.layer1Sectors, job.layer2Sectors}),
            std::vector<uint32_t>({96, 64, 32}));
  ExpectControl(job.imagePath1, {0x01, 0x02, 0x31, 0x10, 0x00, 0x03, 0x00, 0x00, 0x00, 0x03, 0x00, 0x5F, 0x00, 0x03,
                                 0x00, 0x40});

  // Without the opposite track path the layer type names the parallel one.
  ClearOutcome();
  job.oppositeTrackPath = 0;
  t.ui.QueueAnswers({platform::Answer::kYes});
  ASSERT_TRUE(Run(layout));
  EXPECT_EQ(static_cast<uint8_t>(ReadFile(job.imagePath1)[2]), 0x21);
}

// A dual-layer choice for a title of exactly one layer (48 + 13 sectors end
// at 64, the layer capacity), and for a small title: one layer is written.
TEST_F(OutputStageTest, DualChoiceOfASingleLayerTitleIsWrittenSingleLayer) {
  struct Case { size_t bytes; uint32_t layerCapacity; std::string said; };
  for (const Case& c : {Case{13 * kSector, 64, "Layer 2 will contain 0 sectors"},
                        Case{100, 2084960,
                             "This title fits on a single layer disc.  The title requires only 64 sectors of 2084960 "
                             "sectors available on a single layer disc. You have indicated in set up that this would "
                             "be a dual layer disc. Am I missing something?"}}) {
    SCOPED_TRACE(c.layerCapacity);
    ClearOutcome();
    job.singleLayer = 0;
    job.layerCapacity = c.layerCapacity;
    job.noWarningMessagesOutput = 0;
    t.ui.QueueAnswers({platform::Answer::kYes});
    ASSERT_TRUE(Run(BackToBack({AddSource("a.bin", c.bytes)})));
    EXPECT_TRUE(testing::Contains(t.ui.messages.at(0).text, c.said)) << t.ui.messages.at(0).text;
    EXPECT_EQ(job.dualLayer, 0);
    EXPECT_EQ(ReadFile(job.imagePath2).size(), 64u * kSector);
    EXPECT_FALSE(Exists(job.imagePath3));
    EXPECT_EQ(static_cast<uint8_t>(ReadFile(job.imagePath1)[2]), 0x01);
  }
}

TEST_F(OutputStageTest, EqualStartSectorsEndInReverseListOrder) {
  // List order as the builder appends; the sort must not depend on it beyond
  // the rule for equal starts.
  std::string late = AddSource("late.bin", 3000), e1 = AddSource("e1", 0), e2 = AddSource("e2", 0),
              mid = AddSource("mid.bin", 100), first = AddSource("first.bin", 4096);
  Layout layout = BackToBack({late, e1, e2, mid, first});
  const uint32_t starts[] = {51, 50, 50, 50, 48};
  for (size_t i = 0; i < layout.records.size(); ++i) layout.records[i].startSector = starts[i];
  layout.volumeSectors = 64;
  job.writeCompareFile = 1;
  ASSERT_TRUE(Run(layout));

  EXPECT_EQ(ReadFile(job.tempDir + "PravelCFile.txt"), first + "\n" + mid + "\n" + e2 + "\n" + e1 + "\n" + late + "\n");
  std::string image = ReadFile(job.imagePath2);
  EXPECT_EQ(image.substr(50 * kSector, 100), ReadFile(mid));
  EXPECT_EQ(image.substr(51 * kSector, 3000), ReadFile(late));
}

// Each case prepares the job and gives the layout the builder leaves (and
// what changes behind its back); the run shows one message.
TEST_F(OutputStageTest, RefusedRunsShowOneMessage) {
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
      // Free space is not checked for tape: the run goes on to look for the drive.
      {"tape",
       [&] {
         job.toTape = 1;
         job.freeSectors1 = 0;
         job.tapeLibrary = std::make_shared<FaultTape>();
         std::static_pointer_cast<FaultTape>(job.tapeLibrary)->deviceIndex = -1;
       },
       BackToBack({source}), "Configuration error!", "There is no DLT2000 tape drive attached"},
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
TEST_F(OutputStageTest, FreeSpaceIsCheckedBeforeAnyFileData) {
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

// Image files that can not be written or named leave no finished-looking
// image beside the marker: layer 2 on a full disk (its unfinished file a
// link to /dev/full, where writes fail with "No space left on device") or in
// a missing directory; LAYER01.IMG a folder, so that its rename fails after
// CONTROL.IMG took its name. A CONTROL.IMG that can not be created ends the
// run before the builder and leaves the marker to the driver.
TEST_F(OutputStageTest, ImagesThatCanNotBeWrittenLeaveNoImage) {
  testing::MakeDirs(dir / "full");
  const std::string full = dir / "full/LAYER02.IMG", missing = dir / "missing/LAYER02.IMG",
                    control = dir / "missing/CONTROL.IMG";
  std::filesystem::create_symlink("/dev/full", full + ".part");
  struct Case {
    std::function<void()> prepare;
    std::string caption, text;
    bool marker = true;
  };
  const Case cases[] = {
      {[&] { job.imagePath3 = full; }, "Fatal IO error!", "Can not write to " + full + ".part: No space left on device"},
      {[&] { job.imagePath3 = missing; }, "Disc Image Builder Error!",
       "Can not create Layer 2 Disc Image file " + missing + ".part"},
      {[&] { job.imagePath1 = control; }, "Disc Image Builder Error!",
       "Can not create Disc Image file " + control + ".part", false},
      {[&] { testing::WriteFile(job.imagePath2 + "/in_the_way", "x"); }, "Fatal IO error!", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption + c.text);
    Reset();
    job.layerCapacity = 64;
    job.singleLayer = 0;
    c.prepare();
    EXPECT_FALSE(Run(BackToBack({AddSource("a.bin", 40 * kSector)})));
    ExpectOnlyMessage(c.caption, c.text);
    EXPECT_EQ(MarkerExists(), c.marker);
    for (const std::string& path : {job.imagePath1, job.imagePath2}) {
      EXPECT_FALSE(std::filesystem::is_regular_file(path)) << path;
      EXPECT_FALSE(Exists(path + ".part")) << path;
    }
  }
  EXPECT_TRUE(Exists("/dev/full"));
}

TEST(CopyProgressText, NamesTheFileBytesRateAndTimeLeft) {
  uint64_t gib = uint64_t{1} << 30;
  EXPECT_EQ(FormatCopyProgress("VTS_01_1.VOB", gib * 12 / 10, gib * 34 / 10, 13528),
            "Add to image -> VTS_01_1.VOB  1.2 GiB of 3.4 GiB, 95 MB/s, 0:25 left");
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
TEST_F(OutputStageTest, ProgressIsShownAtMostTenTimesASecond) {
  std::vector<std::string> sources;
  for (int i = 0; i < 12; ++i) sources.push_back(AddSource(std::string("f").append(std::to_string(i)), 100));
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

class ImageReadersTest : public ::testing::Test {
 protected:
  std::string Title(const std::string& relative) const { return dir / ("title/" + relative); }

  // A fresh job over the title folder's entries, its images in dir/<images>,
  // built with `udf` as the UDF stage.
  bool Premaster(testing::TestJob& t, const std::string& images, UdfStage& udf) {
    Job& job = t.job;
    for (const char* sub : {"/tmp", "/l1", "/l2"}) MakeDirs(dir / (images + sub));
    job.tempDir = dir / (images + "/tmp/");
    job.templateDir = dir / (images + "/tmp");
    job.imagePath1 = dir / (images + "/l1/CONTROL.IMG");
    job.imagePath2 = dir / (images + "/l1/LAYER01.IMG");
    job.imagePath3 = dir / (images + "/l2/LAYER02.IMG");
    job.freeSectors1 = 4000000000u;
    job.freeSectors2 = 4000000000u;
    job.noWarningMessages = 1;
    job.noWarningMessagesOutput = 1;
    job.volumeId = "READERS";
    job.layerCapacity = geometry::kSingleLayerCapacity;
    job.singleLayer = 1;
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(dir / "title")) entries.push_back(entry.path());
    std::sort(entries.begin(), entries.end());
    for (const fs::path& entry : entries) job.AddSource(entry.string());
    job.treeListPath = job.tempDir + "tm.txt";
    return BuildTreeListing(job) &&
           BuildImageAndOutput(job, [&udf](Job& j, SectorWriter& writer) { return BuildFileSystem(j, writer, udf); });
  }

  testing::TempDir dir;
};

// The root holds the parent identifier, an empty directory D and an empty
// file E: 3 x 72 bytes (the batch runs read larger trees back with every
// reader). Unique ids: the root 0, then the root's file (16),
// then D (17). The streams follow the entries: the root's at 2 + 3, D's
// right after it.
TEST_F(ImageReadersTest, StreamLengthsAreExactAndUniqueIdsFollowTheWalk) {
  MakeDirs(Title("D"));
  WriteFile(Title("E"), "");
  testing::TestJob t;
  UdfWriter writer;
  ASSERT_TRUE(Premaster(t, "small", writer)) << t.ui.messages.at(0).text;
  const UdfFileSetState& fileSet = writer.FileSet();
  EXPECT_EQ(fileSet.totals.directories, fileSet.directories);
  EXPECT_EQ(fileSet.totals.files + fileSet.totals.directories, fileSet.fileEntries);
  EXPECT_EQ(fileSet.totals.files, 1u);
  EXPECT_GE(fileSet.reservedBlocks, fileSet.estimatedBlocks);
  const uint32_t start = fileSet.totals.partitionStart;
  const std::string image = ReadFile(t.job.imagePath2);
  auto entry = [&](uint32_t block) { return testing::BytesOf(image) + size_t{start + block} * kSector; };
  EXPECT_TRUE(testing::TagIsValid(entry(2), 261, 2, 284));
  testing::ExpectFields(entry(2), {{27, 1, 4}, {56, 8, 216}, {292, 4, 216}, {160, 8, 0}, {296, 4, 2 + 3}});
  testing::ExpectFields(entry(3), {{27, 1, 4}, {56, 8, 72}, {292, 4, 72}, {160, 8, 17}, {296, 4, 2 + 3 + 1}});
  EXPECT_TRUE(testing::TagIsValid(entry(4), 261, 4, 284));
  testing::ExpectFields(entry(4), {{27, 1, 5}, {56, 8, 0}, {64, 8, 0}, {292, 4, 0},
                                   {296, 4, t.job.fileDataStart - start}, {160, 8, 16}});
}

// A UDF stage that damages the builder's directory files before the UDF tree
// is written: the writer refuses rather than writes a wrong tree.
class DamagingStage final : public UdfStage {
 public:
  explicit DamagingStage(std::function<void()> damage) : damage_(std::move(damage)) {}
  bool ValidateDvdVideoZone(Job& job) override { return inner_.ValidateDvdVideoZone(job); }
  bool WriteVolumeDescriptors(Job& job, SectorWriter& w) override { return inner_.WriteVolumeDescriptors(job, w); }
  bool WriteFileSet(Job& job, SectorWriter& w, const DirectoryTable& table, uint32_t& area) override {
    return inner_.WriteFileSet(job, w, table, area);
  }
  bool PlaceDvdVideoZone(Job& job, uint32_t& s) override { return inner_.PlaceDvdVideoZone(job, s); }
  std::optional<ZonePlacement> FindZoneFile(const std::string& p) const override { return inner_.FindZoneFile(p); }
  bool WriteDirectories(Job& job, SectorWriter& w, const DirectoryTable& table, const PathTables& paths) override {
    damage_();
    return inner_.WriteDirectories(job, w, table, paths);
  }
  bool PatchVolumeDescriptors(Job& job, SectorWriter& w) override { return inner_.PatchVolumeDescriptors(job, w); }

 private:
  UdfWriter inner_;
  std::function<void()> damage_;
};

TEST_F(ImageReadersTest, InconsistentDirectoryFilesEndTheBuildWithAMessage) {
  WriteFile(Title("A/ONE.TXT"), "1");
  WriteFile(Title("B/TWO.TXT"), "2");
  struct Case {
    std::string name;
    std::function<void(const std::string& tmp)> damage;
    std::string message;
  };
  auto poke = [](const std::string& path, size_t at, int by) {
    std::string bytes = ReadFile(path);
    bytes[at] = static_cast<char>(bytes[at] + by);
    WriteFile(path, bytes);
  };
  const std::vector<Case> cases = {
      {"missing", [](const std::string& tmp) { fs::remove(tmp + "_td0001X"); }, "is missing"},
      // The root's first subdirectory record ("A") gets an extent no directory has.
      {"subdirectory", [&](const std::string& tmp) { poke(tmp + "_td0000X", 68 + 2, 100); }, "matches no directory"},
      // ONE.TXT's data length, 1 byte, becomes 9.
      {"file", [&](const std::string& tmp) { poke(tmp + "_td0001X", 68 + 10, 8); },
       "does not match its entry in the file list"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TestJob t;
    DamagingStage stage([&] { c.damage(t.job.tempDir); });
    EXPECT_FALSE(Premaster(t, c.name, stage));
    ASSERT_FALSE(t.ui.messages.empty());
    EXPECT_EQ(t.ui.messages[0].caption, "Disc Image Builder Error!");
    EXPECT_TRUE(Contains(t.ui.messages[0].text, c.message)) << t.ui.messages[0].text;
  }
}

}  // namespace
}  // namespace pravel::output_test
