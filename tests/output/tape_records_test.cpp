// The DDP description kept beside the images, the refusals of the ANSI labels
// and the sense messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/ddp_description.h"
#include "output/sense_messages.h"
#include "output/tape_labels.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using namespace testing;

std::string AsText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(DdpDescription, IsKeptInDdpIdBesideTheControlImageAndACreateFailureIsReported) {
  TempDir dir;
  TestJob t;
  t.job.imagePath1 = dir / "CONTROL.IMG";
  t.job.layer1Sectors = 4096;
  std::vector<uint8_t> description;
  ASSERT_TRUE(BuildDdpDescription(t.job, 0, description));
  EXPECT_EQ(ReadFile(dir / "DDPID.IMG"), AsText(description));

  t.job.imagePath1 = dir / "missing/CONTROL.IMG";
  EXPECT_FALSE(BuildDdpDescription(t.job, 0, description));
  testing::ExpectOneMessage(t.ui, {"Can not create Disc Image file " + (dir / "missing/DDPID.IMG")},
                            "Disc Image Builder Error!");
}

std::string AsText(const TapeLabel& label) { return std::string(label.begin(), label.end()); }

// Whole records are read back from tapes by tests/tools/check_tape.py; here
// the numbers too wide for their fields and the names cut to them.
TEST(TapeRecords, NumbersTooWideAreRefusedAndNamesAreCutToTheirFields) {
  Job job;
  job.layer1Sectors = 100'000'000;
  EXPECT_TRUE(DdpDescription(job, 0).empty());
  EXPECT_FALSE(FileLabel1({"LAYER0.DAT", 3, 1'000'000, 32768, 2048}, false));
  EXPECT_FALSE(FileLabel1({"LAYER0.DAT", 10000, 1, 32768, 2048}, false));
  EXPECT_FALSE(FileLabel2({"LAYER0.DAT", 3, 1, 100000, 2048}, true));
  EXPECT_TRUE(FileLabel1({"LAYER0.DAT", 3, 260'620, 32768, 2048}, false));
  EXPECT_EQ(AsText(VolumeLabel("ABCDEFGH")).substr(0, 11), "VOL1ABCDEF ");
  EXPECT_EQ(AsText(*FileLabel1({"A_NAME_OF_TWENTY_CH", 1, 1, 1, 1}, false)).substr(4, 17), "A_NAME_OF_TWENTY_");
}

// A few rows of the table (the first and last among them) and statuses it does not hold.
TEST(SenseMessages, RowsOfTheTableAndTheUnknownStatus) {
  const std::pair<int, const char*> rows[] = {
      {0x0001, "FILEMARK_DETECTED"},     {0x0401, "LOGICAL_UNIT_IS_IN_PROCESS_OF_BECOMING_READY"},
      {0x0C00, "WRITE_ERROR"},           {0x2F00, "commandS_CLEARED_BY_ANOTHER_INITIATOR"},
      {0x3B0E, "MEDIUM_SOURCE_ELEMENT_EMPTY"}, {0x6400, "ILLEGAL_MODE_FOR_THIS_TRACK"},
  };
  for (const auto& [status, text] : rows) EXPECT_EQ(SenseMessage(status), text) << std::hex << status;
  for (int status : {0x0000, 0x0007, 0x0B00, 0x4000 + 1, 0x6401, 0x9999}) {
    EXPECT_FALSE(SenseMessageText(status)) << std::hex << status;
  }
  EXPECT_EQ(SenseMessage(0x9999), "Unknown 9999 error status received!");
  EXPECT_EQ(SenseMessage(0x3a01), "Unknown 3a01 error status received!");

  TestJob t;
  ShowSenseMessage(t.job, 0x2700);
  testing::ExpectOneMessage(t.ui, {"WRITE_PROTECTED"}, "SCSI Bus/Device Error!");
}

}  // namespace
}  // namespace pravel
