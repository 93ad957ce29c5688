// Refusals of the output stage: sizes, free space, the summary question,
// changed sources, unwritable images, and what each leaves behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "output/copy_progress.h"
#include "output_fixture.h"

namespace pravel::output_test {
namespace {

using testing::Exists;
using testing::ReadFile;

class OutputFailureTest : public OutputTest {
 protected:
  // The image as the builder left it: metadata padded to fileDataStart.
  void ExpectNoFileDataWritten() {
    EXPECT_EQ(std::filesystem::file_size(job.imagePath2), uint64_t{kDataStart} * kSector);
    EXPECT_EQ(std::filesystem::file_size(job.imagePath1), 0u);
    EXPECT_TRUE(job.fileDataList.empty());
  }
};

TEST_F(OutputFailureTest, TitleOfExactlyOneLayerIsRefusedOnASingleLayerDisc) {
  Layout layout = BackToBack({AddSource("a.bin", 13 * kSector)});
  job.layerCapacity = 64;
  EXPECT_FALSE(Run(layout));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Operations error!");
  EXPECT_EQ(t.ui.messages[0].text,
            "This DVD title exceeds the maximum size allowed on a single layer disc. You had selected to make a "
            "single layer disc. You will have to reduce the title size or select to make a dual layer title disc. "
            "The total size of this title disc image is 64 sectors. The maximum number of sectors allowed is 64.");
  EXPECT_TRUE(MarkerExists());
  ExpectNoFileDataWritten();
}

// Sector counts whose 32-bit sum wraps to a small title.
Layout HugeLayout(const std::string& path) {
  Layout layout;
  for (uint32_t i = 0; i < 2; ++i) {
    FileDataRecord record;
    record.path = path;
    record.startSector = kDataStart + i * 0x80000000u;
    record.sectorCount = 0x80000000u;
    record.byteLength = uint64_t{0x80000000u} * kSector;
    layout.records.push_back(record);
  }
  layout.volumeSectors = 64;  // what a wrapped running position would give
  return layout;
}

TEST_F(OutputFailureTest, HugeTitleIsRefusedOverDualLayerCapacityNotWrapped) {
  job.singleLayer = 0;
  job.layerCapacity = 2084960;
  EXPECT_FALSE(Run(HugeLayout(dir / "src/none")));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Insufficient DVD disc space!");
  EXPECT_EQ(t.ui.messages[0].text,
            "Total disc image size of this title (4294967344 sectors) exceeds dual layer capacity of DVD.");
  EXPECT_TRUE(MarkerExists());
  ExpectNoFileDataWritten();
}

TEST_F(OutputFailureTest, HugeTitleIsRefusedOnASingleLayerDisc) {
  EXPECT_FALSE(Run(HugeLayout(dir / "src/none")));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Operations error!");
  EXPECT_NE(t.ui.messages[0].text.find("is 4294967344 sectors."), std::string::npos);
}

TEST_F(OutputFailureTest, SingleLayerFreeSpaceIsCheckedBeforeAnyFileData) {
  job.freeSectors1 = 63;
  EXPECT_FALSE(Run(BackToBack({AddSource("a.bin", 5000)})));
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Insufficient Hard Disk Space for title!", "System status"}));
  EXPECT_EQ(MessageTexts(),
            (std::vector<std::string>{
                "Amount of disk free space for a single layer DVD title is insufficient. Increase hard disk "
                "partition for layer 1 to 128K byte size and free space.",
                "The title requires 128K bytes in layer 1. Layer 1 disk partition has 126K available."}));
  EXPECT_TRUE(MarkerExists());
  ExpectNoFileDataWritten();
}

TEST_F(OutputFailureTest, DualLayerFreeSpaceKilobytesDoNotWrap) {
  job.layerCapacity = 64;
  job.singleLayer = 0;
  job.freeSectors2 = 31;
  EXPECT_FALSE(Run(BackToBack({AddSource("a.bin", 40 * kSector)})));  // 88 -> 96 sectors
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Insufficient Hard Disk Space for title!", "System status"}));
  EXPECT_EQ(MessageTexts(),
            (std::vector<std::string>{
                "Amount of disk free space for a dual layer DVD title is insufficient. Increase each hard disk "
                "partition to 4G byte size and free space.",
                "The title requires 192K bytes, 128K in layer 1 and 64K in layer 2. Layer 1 disk partition has "
                "8000000000K available and Layer 2 disk parition has 62K available."}));
  EXPECT_TRUE(MarkerExists());
  ExpectNoFileDataWritten();
}

TEST_F(OutputFailureTest, ImageDirectoriesOnOneFileSystemShareTheirFreeSpace) {
  job.layerCapacity = 64;
  job.singleLayer = 0;
  job.freeSectors1 = 80;  // enough for either layer, not for both
  job.freeSectors2 = 80;
  EXPECT_FALSE(Run(BackToBack({AddSource("a.bin", 40 * kSector)})));
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Insufficient Hard Disk Space for title!", "System status"}));
  ExpectNoFileDataWritten();
}

TEST_F(OutputFailureTest, FreeSpaceIsNotCheckedForTape) {
  job.toTape = 1;
  job.freeSectors1 = 0;
  EXPECT_FALSE(Run(BackToBack({AddSource("a.bin", 10)})));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Not available");
  EXPECT_EQ(t.ui.messages[0].text, "This build of Pravel can not do that yet: writing to tape.");
  EXPECT_EQ(ReadFile(job.imagePath1).size(), 32768u);
  EXPECT_TRUE(MarkerExists());
}

TEST_F(OutputFailureTest, NoToTheSummaryFailsWithoutAnotherMessage) {
  job.noWarningMessagesOutput = 0;
  t.ui.QueueAnswers({platform::Answer::kNo});
  EXPECT_FALSE(Run(BackToBack({AddSource("a.bin", 10)})));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Continue?");
  EXPECT_EQ(t.ui.messages[0].buttons, platform::Buttons::kYesNo);
  EXPECT_EQ(t.ui.messages[0].text,
            "This is a single layer DVD disc title with 64 sectors. The title is comprised of 3 Directory Folders "
            "and 5 Files");
  EXPECT_TRUE(MarkerExists());
  ExpectNoFileDataWritten();
}

TEST_F(OutputFailureTest, SourceChangedBeforeTheCopyIsNamed) {
  std::string source = AddSource("grown.bin", 3000);
  EXPECT_FALSE(Run(BackToBack({AddSource("a.bin", 10), source}), [&] { testing::WriteFile(source, "short"); }));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Disc Image Builder Error!");
  EXPECT_EQ(t.ui.messages[0].text, "Can not copy " + source +
                                       " into the disc image: the file has changed since the file system was built "
                                       "(5 bytes now, 3000 bytes then).");
  EXPECT_TRUE(MarkerExists());
  EXPECT_TRUE(job.fileDataList.empty());
}

TEST_F(OutputFailureTest, SourceRemovedBeforeTheCopyIsNamed) {
  std::string source = AddSource("gone.bin", 3000);
  EXPECT_FALSE(Run(BackToBack({source}), [&] { std::filesystem::remove(source); }));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].text, "Can not copy " + source + " into the disc image: No such file or directory.");
  EXPECT_TRUE(MarkerExists());
}

TEST_F(OutputFailureTest, FullDiskDuringTheCopyIsAFatalIoError) {
  // Writes to /dev/full fail with "No space left on device"; layer 2 goes there.
  job.imagePath3 = "/dev/full";
  job.layerCapacity = 64;
  job.singleLayer = 0;
  EXPECT_FALSE(Run(BackToBack({AddSource("a.bin", 40 * kSector)})));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Fatal IO error!");
  EXPECT_EQ(t.ui.messages[0].text, "Can not write to /dev/full: No space left on device");
  EXPECT_TRUE(MarkerExists());
  EXPECT_TRUE(Exists("/dev/full"));
  EXPECT_EQ(std::filesystem::file_size(job.imagePath2), 64u * kSector);
}

TEST_F(OutputFailureTest, LayerTwoImageThatCanNotBeCreated) {
  job.imagePath3 = dir / "missing/LAYER02.IMG";
  job.layerCapacity = 64;
  job.singleLayer = 0;
  EXPECT_FALSE(Run(BackToBack({AddSource("a.bin", 40 * kSector)})));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Disc Image Builder Error!");
  EXPECT_EQ(t.ui.messages[0].text, "Can not create Layer 2 Disc Image file " + job.imagePath3);
  EXPECT_TRUE(MarkerExists());
}

TEST_F(OutputFailureTest, ImageFilesThatCanNotBeCreatedLeaveTheMarkerToTheDriver) {
  job.imagePath1 = dir / "missing/CONTROL.IMG";
  bool built = false;
  EXPECT_FALSE(BuildImageAndOutput(job, [&](Job&, SectorWriter&) { return built = true; }));
  EXPECT_FALSE(built);
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Disc Image Builder Error!");
  EXPECT_EQ(t.ui.messages[0].text, "Can not create Disc Image file " + job.imagePath1);
  EXPECT_FALSE(MarkerExists());
}

TEST_F(OutputFailureTest, FailedBuildCleansUpAndMarks) {
  testing::WriteFile(dir / "tmp/tm0000.txt", "x\r\n");
  testing::WriteFile(dir / "tmp/tm0003.txt", "x\r\n");
  EXPECT_FALSE(BuildImageAndOutput(job, [](Job& j, SectorWriter&) {
    j.fileDataList.resize(3);
    return false;
  }));
  EXPECT_TRUE(MarkerExists());
  EXPECT_TRUE(job.fileDataList.empty());
  EXPECT_EQ(job.fileDataCount, 0u);
  EXPECT_FALSE(Exists(dir / "tmp/tm0000.txt"));
  EXPECT_FALSE(Exists(dir / "tmp/tm0003.txt"));
}

TEST_F(OutputFailureTest, MoreFileDataRecordsThanTheToolAllows) {
  Layout layout = BackToBack({AddSource("a.bin", 10)});
  layout.records.resize(250001, layout.records[0]);
  EXPECT_FALSE(Run(layout));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Tool limits exceeded!");
  EXPECT_TRUE(MarkerExists());
}

TEST_F(OutputFailureTest, MetadataNotEndingOnABlockIsAnInternalError) {
  Layout layout = BackToBack({AddSource("a.bin", 10)}, 40);
  EXPECT_FALSE(Run(layout));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Report error code 0101");
  EXPECT_EQ(t.ui.messages[0].text, "Internal error caused illegal disc image format!");
  EXPECT_TRUE(MarkerExists());
}

TEST_F(OutputFailureTest, FileDataOverTheMetadataIsRefusedBeforeWriting) {
  Layout layout = BackToBack({AddSource("a.bin", 10)});
  layout.records[0].startSector = 20;
  EXPECT_FALSE(Run(layout));
  ASSERT_EQ(t.ui.messages.size(), 1u);
  EXPECT_EQ(t.ui.messages[0].caption, "Report error code 0102");
  ExpectNoFileDataWritten();
  std::string image = ReadFile(job.imagePath2);
  EXPECT_EQ(static_cast<uint8_t>(image[20 * kSector]), MetadataByte(20));
}

TEST(CopyProgressText, NamesTheFileBytesRateAndTimeLeft) {
  uint64_t gib = uint64_t{1} << 30;
  EXPECT_EQ(FormatCopyProgress("VTS_01_1.VOB", gib * 12 / 10, gib * 34 / 10, 13528),
            "Add to image -> VTS_01_1.VOB  1.2 GiB of 3.4 GiB, 95 MB/s, 0:25 left");
  EXPECT_EQ(FormatCopyProgress("a.bin", 0, 5000, 0), "Add to image -> a.bin  0 bytes of 4.9 KiB");
  EXPECT_EQ(FormatCopyProgress("b", 3 << 20, 6 << 20, 3000), "Add to image -> b  3.0 MiB of 6.0 MiB, 1.0 MB/s, 0:03 left");
}

// A clock whose steady time advances 30 ms on every reading.
class SteppingClock final : public platform::Clock {
 public:
  platform::LocalTime Now() override { return {}; }
  uint32_t TickCount() override { return 0; }
  uint64_t ElapsedMilliseconds() override { return elapsed_ += 30; }

 private:
  uint64_t elapsed_ = 0;
};

TEST_F(OutputFailureTest, ProgressIsShownAtMostTenTimesASecond) {
  std::vector<std::string> sources;
  for (int i = 0; i < 12; ++i) sources.push_back(AddSource("f" + std::to_string(i), 100));
  Layout layout = BackToBack(sources);
  SteppingClock clock;
  job.clock = &clock;
  ASSERT_TRUE(Run(layout));
  std::vector<std::string> progress;
  for (const std::string& line : t.ui.statusLines) {
    if (line.rfind("Add to image -> ", 0) == 0) progress.push_back(line);
  }
  // One reading per record and one per copied block: 24 readings of 30 ms,
  // shown when 100 ms have passed since the last one shown.
  ASSERT_GE(progress.size(), 5u);
  EXPECT_LE(progress.size(), 8u);
  EXPECT_EQ(progress.front(), "Add to image -> f0  0 bytes of 1.2 KiB");
  EXPECT_NE(progress.back().find(" left"), std::string::npos);
}

TEST_F(OutputFailureTest, FixedClockShowsOneProgressLine) {
  std::vector<std::string> sources = {AddSource("a", 100), AddSource("b", 100)};
  ASSERT_TRUE(Run(BackToBack(sources)));
  int shown = 0;
  for (const std::string& line : t.ui.statusLines) shown += line.rfind("Add to image -> ", 0) == 0;
  EXPECT_EQ(shown, 1);
}

}  // namespace
}  // namespace pravel::output_test
