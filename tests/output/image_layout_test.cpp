// The images a successful run leaves: LAYER01.IMG (and LAYER02.IMG), the
// closing anchor and CONTROL.IMG.
#include <gtest/gtest.h>

#include "output_fixture.h"
#include "support/descriptor_checks.h"

namespace pravel::output_test {
namespace {

using testing::Exists;
using testing::ReadFile;

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

class ImageLayoutTest : public OutputTest {
 protected:
  // An empty file before a 2048-byte one, a 2049-byte one, a larger one.
  std::vector<std::string> MixedSources() {
    return {AddSource("big.bin", 5000), AddSource("empty.bin", 0), AddSource("two.bin", 2048),
            AddSource("three.bin", 2049)};
  }
};

// An earlier run's marker and LAYER02.IMG are removed; 48 + 3 + 1 + 2 = 54
// data sectors end the volume at 64.
TEST_F(ImageLayoutTest, SingleLayerImageHoldsMetadataFilesAnchorAndControlData) {
  testing::WriteFile(dir / "template/_cdferr", "");
  testing::WriteFile(job.imagePath3, "old layer two");
  Layout layout = BackToBack(MixedSources());
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
}

TEST_F(ImageLayoutTest, DualLayerSplitJoinsToTheSingleLayerVolume) {
  // Files of 10, 12 (straddling sector 64), 20 and 1 sectors from 48: 91 -> 96.
  std::vector<std::string> sources = {AddSource("a.bin", 10 * kSector), AddSource("straddle.bin", 12 * kSector - 5),
                                      AddSource("c.bin", 20 * kSector), AddSource("d.bin", 1)};
  Layout layout = BackToBack(sources);
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
TEST_F(ImageLayoutTest, DualChoiceOfASingleLayerTitleIsWrittenSingleLayer) {
  struct Case {
    size_t bytes;
    uint32_t layerCapacity;
    std::string said;
  };
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

TEST_F(ImageLayoutTest, EqualStartSectorsEndInReverseListOrder) {
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

TEST_F(ImageLayoutTest, LogFileListsMeasuredAndPlacedSectors) {
  std::vector<std::string> sources = MixedSources();
  Layout layout = BackToBack(sources);
  job.writeLogFile = 1;
  ASSERT_TRUE(Run(layout));
  std::string expected =
      "Actual      Size in   FS        Computed  FS\n"
      " size       sectors   sectors   sector #  sector #  Content\n"
      "0000098304  00000048  00000048  00000000  00000000  File System\n"
      "0000005000  00000003  00000003  00000048  00000048  " + sources[0] + "\n"
      "0000002048  00000001  00000001  00000051  00000051  " + sources[2] + "\n"
      "0000000000  00000000  00000000  00000052  00000051  " + sources[1] + "\n"
      "0000002049  00000002  00000002  00000052  00000052  " + sources[3] + "\n";
  EXPECT_EQ(ReadFile(job.tempDir + "PravelLog.txt"), expected);
  EXPECT_NE(std::find(t.ui.statusLines.begin(), t.ui.statusLines.end(),
                      "Writing Pravel Log to " + job.tempDir + "PravelLog.txt"),
            t.ui.statusLines.end());
}

}  // namespace
}  // namespace pravel::output_test
