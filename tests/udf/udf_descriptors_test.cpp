#include "udf/file_set.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "iso/byte_fields.h"
#include "iso/directory_records.h"
#include "support/descriptor_checks.h"
#include "support/test_support.h"
#include "udf/descriptor_tag.h"
#include "udf/udf_fields.h"

namespace pravel {
namespace {

using namespace std::string_literals;
using testing::EntityId;
using testing::ExpectFields;
using testing::TagIsValid;
using testing::Text;
using testing::ZerosFrom;

// The standard's example for both CRCs; every descriptor test checks its tag
// (checksum, CRC, location) with TagIsValid, whose CRC is computed bit by
// bit. Tails of every length against that one.
TEST(DescriptorCrc, MatchesTheStandardsExampleAndABitwiseCrc) {
  const uint8_t example[] = {0x70, 0x6A, 0x77};
  EXPECT_EQ(DescriptorCrc(example, 3), 0x3299);
  EXPECT_EQ(testing::BitwiseCrc(example, 3), 0x3299);
  std::vector<uint8_t> bytes(2032);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + (i >> 8));
  for (size_t length : {0, 1, 2, 5, 7, 8, 9, 15, 16, 17, 2031, 2032}) {
    EXPECT_EQ(DescriptorCrc(bytes.data(), length), testing::BitwiseCrc(bytes.data(), length)) << length;
  }
}

// Type 1 in the top four bits of Type and Timezone, the offset in minutes as
// a 12-bit two's complement number in the low twelve (ECMA-167 1/7.3.1).
TEST(Timestamp, LocalTimeWithItsOffsetFromUtc) {
  struct Case {
    int offsetMinutes;
    uint8_t low, high;
  };
  for (const Case& c : {Case{0, 0x00, 0x10}, Case{330, 0x4A, 0x11}, Case{-300, 0xD4, 0x1E}, Case{-720, 0x30, 0x1D},
                        Case{840, 0x48, 0x13}}) {
    SCOPED_TRACE(c.offsetMinutes);
    std::array<uint8_t, 12> field{};
    field.fill(0xEE);
    PutTimestamp(field.data(), platform::LocalTime{2026, 3, 4, 5, 6, 7, 8, c.offsetMinutes});
    const std::array<uint8_t, 12> expected = {c.low, c.high, 0xEA, 0x07, 3, 4, 5, 6, 7, 8, 0, 0};
    EXPECT_EQ(field, expected);
  }
}

// Extents of at most 2^30 - 2048 bytes, so that the length never reaches the
// two extent type bits; each starts where the one before ends.
TEST(AllocationDescriptors, LargeFilesAreSplitBelowTheExtentTypeBits) {
  constexpr uint32_t kMax = (1u << 30) - 2048, kBlocks = kMax / 2048;
  EXPECT_EQ(SplitIntoExtents(0, 77), (std::vector<ShortAd>{{0, 77}}));
  EXPECT_EQ(SplitIntoExtents(kMax, 77), (std::vector<ShortAd>{{kMax, 77}}));
  EXPECT_EQ(SplitIntoExtents(1ull << 30, 77), (std::vector<ShortAd>{{kMax, 77}, {2048, 77 + kBlocks}}));
  EXPECT_EQ(SplitIntoExtents(0xFFFFFFFFull, 0),
            (std::vector<ShortAd>{{kMax, 0}, {kMax, kBlocks}, {kMax, 2 * kBlocks}, {kMax, 3 * kBlocks}, {8191, 4 * kBlocks}}));
}

const std::string kNow = "\x00\x10\xEA\x07\x03\x04\x05\x06\x07\x08\x00\x00"s;  // type 1, offset 0

std::vector<uint8_t> Ucs2(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c >> 8));
    bytes.push_back(static_cast<uint8_t>(c));
  }
  return bytes;
}

TEST(FileIdentifier, SizesPaddingAndTagsAlsoPastTheFirstBlock) {
  std::vector<uint8_t> stream;
  AppendFileIdentifier(stream, 40, fid_characteristics::kParent, {}, 2);
  ASSERT_EQ(stream.size(), 72u);
  AppendFileIdentifier(stream, 40, fid_characteristics::kFile, EncodeCs0(u"ABCDE"), 9);
  ASSERT_EQ(stream.size(), 72u + 76u);  // 70 + 6, already a multiple of 4
  AppendFileIdentifier(stream, 40, fid_characteristics::kDirectory, EncodeCs0(u"ABCDEF"), 3);
  ASSERT_EQ(stream.size(), 72u + 76u + 80u);  // 77 padded to 80

  const uint8_t* parent = stream.data();
  EXPECT_TRUE(TagIsValid(parent, 257, 40, 56));
  ExpectFields(parent, {{16, 2, 1}, {18, 1, 0x0A}, {19, 1, 0}, {20, "\x00\x08\x00\x00\x02\x00\x00\x00"s + std::string(8, '\0')},
                        {36, 2, 32}, {38, EntityId(0, "\x08TALVORN\0"s, "\x01"s)}, {70, std::string(2, '\0')}});
  EXPECT_TRUE(TagIsValid(stream.data() + 72, 257, 40, 60));
  ExpectFields(stream.data() + 72, {{18, 1, 0x00}, {19, 1, 6}, {24, 4, 9}, {70, "\x08" "ABCDE"s}});
  EXPECT_TRUE(TagIsValid(stream.data() + 148, 257, 40, 64));
  ExpectFields(stream.data() + 148, {{18, 1, 0x02}, {19, 1, 7}, {70, "\x08" "ABCDEF\0\0\0"s}});

  // Identifiers may cross a block boundary; each is located in the block of
  // its first byte (the readers take any location).
  while (stream.size() + 72 < 2048) AppendFileIdentifier(stream, 40, fid_characteristics::kFile, EncodeCs0(u"A"), 5);
  const size_t crossing = stream.size();
  AppendFileIdentifier(stream, 40, fid_characteristics::kFile, EncodeCs0(u"ABCDEFGHIJ"), 5);
  EXPECT_LT(crossing, 2048u);
  EXPECT_TRUE(TagIsValid(stream.data() + crossing, 257, 40, 68));
  AppendFileIdentifier(stream, 40, fid_characteristics::kFile, EncodeCs0(u"B"), 5);
  EXPECT_TRUE(TagIsValid(stream.data() + crossing + 84, 257, 41, 56));
}

TEST(FileEntry, FieldsExtendedAttributesAndTagsOfAFileAndADirectory) {
  testing::TestJob t;
  Sector sector{};
  FileEntryFacts facts;
  facts.block = 12;
  facts.informationLength = 5000;
  facts.extents = {{5000, 1234}};
  facts.uniqueId = 17;
  BuildFileEntry(t.job, sector.data(), facts);
  const uint8_t* e = sector.data();
  EXPECT_TRUE(TagIsValid(e, 261, 12, 284));
  // Prior recorded number of direct entries: block - 2.
  ExpectFields(e, {{16, 4, 10}, {20, 2, 4}, {22, 2, 0}, {24, 2, 1}, {27, 1, 5}, {28, std::string(6, '\0')},
                   {34, 2, 0x0230}, {36, 4, 0xFFFFFFFF}, {40, 4, 0xFFFFFFFF}, {44, 4, 0x14A5}, {48, 2, 1},
                   {56, 8, 5000}, {64, 8, 3}, {72, kNow}, {84, kNow}, {96, kNow}, {108, 4, 1},
                   {112, std::string(16, '\0')}, {128, EntityId(0, "\x08*TALVORN\0"s, "\x01"s)}, {160, 8, 17},
                   {168, 4, 116}, {172, 4, 8}, {292, 4, 5000}, {296, 4, 1234}, ZerosFrom(300)});

  const uint8_t* ea = e + 176;
  EXPECT_TRUE(TagIsValid(ea, 262, 12, 100));
  unsigned sum = 0;
  for (int i = 24; i < 72; ++i) sum += ea[i];
  ExpectFields(ea, {{16, 4, 24}, {20, 4, 116}, {24, 4, 2048}, {28, 1, 1}, {29, std::string(3, '\0')}, {32, 4, 92},
                    {36, 4, 44}, {40, EntityId(0, "\x08UDF FreeEASpace\0"s, "\x01"s)}, {72, 2, sum & 0xFFFF},
                    {74, 2, 0}, {76, EntityId(0, "\x08UDF DVD CGMS Info\0"s, "\x01"s)}, {108, std::string(8, '\0')}});

  // A directory of a 72-byte stream: its exact length, one block.
  Sector directory{};
  BuildFileEntry(t.job, directory.data(), FileEntryFacts{2, true, 72, {{72, 30}}, 0});
  EXPECT_TRUE(TagIsValid(directory.data(), 261, 2, 284));
  ExpectFields(directory.data(), {{27, 1, 4}, {16, 4, 0}, {56, 8, 72}, {64, 8, 1}, {292, 4, 72}, {296, 4, 30}});
}

TEST(FileEntry, LargeFileDescriptorsGrowTheEntry) {
  testing::TestJob t;
  Sector sector{};
  const uint64_t length = 3ull << 29;  // 1.5 GiB
  BuildFileEntry(t.job, sector.data(), FileEntryFacts{40, false, length, SplitIntoExtents(length, 100), 20});
  EXPECT_TRUE(TagIsValid(sector.data(), 261, 40, 292));
  ExpectFields(sector.data(), {{56, 8, length}, {64, 8, length / 2048}, {172, 4, 16}, {292, 4, kMaxExtentBytes},
                               {296, 4, 100}, {300, 4, length - kMaxExtentBytes},
                               {304, 4, 100 + kMaxExtentBytes / 2048}, ZerosFrom(308)});
}

TEST(FileSetDescriptor, AsItsTableGivesIt) {
  testing::TestJob t;
  t.job.volumeId = "Title_Disc";
  Sector sector{};
  BuildFileSetDescriptor(t.job, sector.data());
  const uint8_t* d = sector.data();
  EXPECT_TRUE(TagIsValid(d, 256, 0, 496));
  const std::string charspec = "\x00OSTA Compressed Unicode"s + std::string(40, '\0');
  ExpectFields(d, {{16, kNow}, {28, 2, 3}, {30, 2, 3}, {32, 4, 1}, {36, 4, 1}, {40, 4, 0}, {44, 4, 0},
                   {48, charspec}, {112, "\x08Title_Disc"s + std::string(116, '\0') + "\x0B"s},
                   {240, charspec}, {304, "\x08Root"s + std::string(26, '\0') + "\x05"s}, {336, std::string(64, '\0')},
                   {400, "\x00\x08\x00\x00\x02\x00\x00\x00"s + std::string(8, '\0')},
                   {416, EntityId(0, "*OSTA UDF Compliant\0"s, "\x02\x01\x03"s)}, ZerosFrom(448)});
}

// The builder's records read back for the UDF tree (the readers check the
// names and extents it gives): the room its identifiers take, and a damaged
// record refused.
TEST(DirectoryFiles, IdentifierRoomAndDamagedRecords) {
  const uint8_t date[7] = {};
  DirectoryImage image;
  image.Append(MakeDirectoryRecord({0}, 0, 0, true, date));
  image.Append(MakeDirectoryRecord({1}, 0, 0, true, date));
  image.Append(MakeDirectoryRecord(Ucs2(u"Sub"), 500, 2048, true, date));
  image.Append(MakeDirectoryRecord(Ucs2(u"\u03A9 f\u00E9;1"), 6000, 1234567, false, date));
  while (image.Size() < 2048 + 40) image.Append(MakeDirectoryRecord(Ucs2(u"A.TXT;1"), 7, 8, false, date));
  image.Finish();

  std::vector<DirectoryFileRecord> records;
  size_t bad = 99;
  ASSERT_TRUE(ParseDirectoryRecords(image.Bytes(), records, bad));
  EXPECT_EQ(records.back().extent, 7u);  // past the first sector too
  // Per directory file 72 bytes; per record name length + 70 (- 2 for a
  // file) rounded to 4; 2048 after each file.
  std::vector<std::vector<DirectoryFileRecord>> files = {records, {}};
  uint32_t expected = 72 + 6 + 70;
  expected += (12 + 70 - 2 + 3) / 4 * 4;
  expected += static_cast<uint32_t>(records.size() - 2) * 84;
  EXPECT_EQ(EstimateIdentifierBytes(files, 0), (expected + 2047) / 2048 * 2048 + 2048);

  std::vector<uint8_t> damaged = image.Bytes();
  damaged[34 + 34] = 20;  // a record shorter than its fixed part
  EXPECT_FALSE(ParseDirectoryRecords(damaged, records, bad));
  EXPECT_EQ(bad, 68u);
}

}  // namespace
}  // namespace pravel
