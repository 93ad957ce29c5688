// The DDP description, the ANSI labels and the sense messages, byte for byte
// against layouts written out by hand from the record tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/ddp_description.h"
#include "output/md5.h"
#include "output/sense_messages.h"
#include "output/tape_labels.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::TestJob;

std::string Spaces(size_t n) { return std::string(n, ' '); }

// Identifier: level, 79 spaces, type, sides, side, layers, layer, direction, size, scrambling, 31 spaces.
std::string Identifier(char layers, char layer, char direction) {
  return "DDP 2.00" + Spaces(79) + "DV1" + "0" + std::string(1, layers) + std::string(1, layer) +
         std::string(1, direction) + "B00" + Spaces(31);
}

// A map packet: valid, type, 8 spaces, length, start, 8 spaces, mode, storage, scrambled, 29 spaces,
// identifier size, name in 17, 37 spaces.
std::string Packet(const std::string& type, const std::string& length, const std::string& start,
                   const std::string& name) {
  return "VVVM" + type + Spaces(8) + length + start + Spaces(8) + "DV00" + Spaces(29) + "017" + name +
         Spaces(17 - name.size()) + Spaces(37);
}

std::string AsText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(DdpDescription, EachTapeOfEachLayoutByteForByte) {
  struct Case {
    const char* what;
    int dualLayer;
    uint32_t layer1, layer2;
    int layerIndex;
    std::string expected;
  };
  const Case cases[] = {
      {"single layer", 0, 123456, 0, 0,
       Identifier('1', '0', 'I') + Packet("D2", "      16", "  193024", "CONTROL.DAT") +
           Packet("D0", "  123456", "  196608", "LAYER0.DAT")},
      {"first tape of two", 1, 2084960, 915040, 0,
       Identifier('2', '0', 'O') + Packet("D2", "      16", "  193024", "CONTROL.DAT") +
           Packet("D0", " 2084960", "  196608", "LAYER0.DAT")},
      {"layer-2 tape", 1, 2084960, 915040, 1, Identifier('2', '1', 'O') + Packet("D0", "  915040", "  196608", "LAYER1.DAT")},
  };
  for (const Case& c : cases) {
    Job job;
    job.dualLayer = c.dualLayer;
    job.layer1Sectors = c.layer1;
    job.layer2Sectors = c.layer2;
    const std::string got = AsText(DdpDescription(job, c.layerIndex));
    EXPECT_EQ(got.size(), c.layerIndex == 0 ? 384u : 256u) << c.what;
    EXPECT_EQ(got, c.expected) << c.what;
  }
}

TEST(DdpDescription, ACountTooWideForItsFieldIsRefusedNotCut) {
  Job job;
  job.layer1Sectors = 100'000'000;
  EXPECT_TRUE(DdpDescription(job, 0).empty());
}

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

TEST(TapeLabels, EveryLabelByteForByte) {
  const TapeFileFacts ddp{"DDPID", 1, 1, 128, 128};
  const TapeFileFacts layer{"LAYER0.DAT", 3, 1234, 32768, 2048};
  EXPECT_EQ(AsText(VolumeLabel("ORVELT")), "VOL1ORVELT" + Spaces(69) + "4");
  EXPECT_EQ(AsText(*FileLabel1(ddp, false)),
            "HDR1DDPID" + Spaces(12) + "DVD   " + "0001" + "0001" + "0001" + "01" + "000000000000 000001" + Spaces(20));
  EXPECT_EQ(AsText(*FileLabel1(layer, true)),
            "EOF1DVDMOVIE" + Spaces(9) + "DVD   " + "0001" + "0003" + "0001" + "00" + "000000000000 001234" + Spaces(20));
  EXPECT_EQ(AsText(*FileLabel2(layer, false)), "HDR2F3276802048" + Spaces(35) + "00" + Spaces(28));
  EXPECT_EQ(AsText(*FileLabel2(ddp, true)), "EOF2F0012800128" + Spaces(35) + "00" + Spaces(28));
}

TEST(TapeLabels, NumbersTooWideAreRefusedAndNamesAreCutToTheirFields) {
  EXPECT_FALSE(FileLabel1({"LAYER0.DAT", 3, 1'000'000, 32768, 2048}, false));
  EXPECT_FALSE(FileLabel1({"LAYER0.DAT", 10000, 1, 32768, 2048}, false));
  EXPECT_FALSE(FileLabel2({"LAYER0.DAT", 3, 1, 100000, 2048}, true));
  EXPECT_TRUE(FileLabel1({"LAYER0.DAT", 3, 260'620, 32768, 2048}, false));
  EXPECT_EQ(AsText(VolumeLabel("ABCDEFGH")).substr(0, 11), "VOL1ABCDEF ");
  EXPECT_EQ(AsText(*FileLabel1({"A_NAME_OF_TWENTY_CH", 1, 1, 1, 1}, false)).substr(4, 17), "A_NAME_OF_TWENTY_");
}

TEST(SenseMessages, RowsOfTheTableAndTheUnknownStatus) {
  const std::pair<int, const char*> rows[] = {
      {0x0001, "FILEMARK_DETECTED"},
      {0x0002, "END_OF_PARTITION_MEDIUM_DETECTED"},
      {0x0005, "END_OF_DATA_DETECTED"},
      {0x0015, "NO_CURRENT_AUDIO_STATUS_TO_RETURN"},
      {0x0400, "LOGICAL_UNIT_NOT_READY_CAUSE_NOT_REPORTABLE"},
      {0x0401, "LOGICAL_UNIT_IS_IN_PROCESS_OF_BECOMING_READY"},
      {0x0C00, "WRITE_ERROR"},
      {0x110C, "UNRECOVERED_READ_ERROR_RECOMMEND_REWRITE_THE_DATA"},
      {0x1806, "RECOVERED_DATA_RECOMMEND_REWRITE"},
      {0x2700, "WRITE_PROTECTED"},
      {0x2800, "NOT_READY_TO_READY_TRANSITION"},
      {0x2900, "POWER_ON_RESET_OR_BUS_DEVICE_RESET_OCCURRED"},
      {0x2F00, "commandS_CLEARED_BY_ANOTHER_INITIATOR"},
      {0x3003, "CLEANING_CARTRIDGE_INSTALLED"},
      {0x3A00, "MEDIUM_NOT_PRESENT"},
      {0x3B00, "SEQUENTIAL_POSITIONING_ERROR"},
      {0x3B02, "TAPE_POSITION_ERROR_AT_END_OF_MEDIUM"},
      {0x3B0E, "MEDIUM_SOURCE_ELEMENT_EMPTY"},
      {0x4E00, "OVERLAPPED_COMMANDS_ATTEMPTED"},
      {0x5000, "WRITE_APPEND_ERROR"},
      {0x5100, "ERASE_FAILURE"},
      {0x5200, "CARTRIDGE_FAULT"},
      {0x5300, "MEDIA_LOAD_OR_EJECT_FAILED"},
      {0x5C02, "SPINDLES_NOT_SYNCHRONIZED"},
      {0x6400, "ILLEGAL_MODE_FOR_THIS_TRACK"},
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

TEST(SenseMessages, TheTableHoldsItsRowsInOrderWithReadableTexts) {
  int rows = 0;
  for (int status = 0; status <= 0xFFFF; ++status) {
    std::optional<std::string_view> text = SenseMessageText(status);
    if (!text) continue;
    ++rows;
    EXPECT_FALSE(text->empty());
    EXPECT_EQ(text->find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_command"), std::string_view::npos) << *text;
  }
  EXPECT_EQ(rows, kSenseMessageRows);
}

TEST(Md5, DigestsOfTheReferenceMessagesAndOfDataFedInPieces) {
  const std::pair<std::string, const char*> vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [message, digest] : vectors) {
    Md5 whole;
    whole.Update(reinterpret_cast<const uint8_t*>(message.data()), message.size());
    EXPECT_EQ(whole.HexDigest(), digest) << message;
    Md5 pieces;
    for (char c : message) pieces.Update(reinterpret_cast<const uint8_t*>(&c), 1);
    EXPECT_EQ(pieces.HexDigest(), digest) << message;
  }
}

}  // namespace
}  // namespace pravel
