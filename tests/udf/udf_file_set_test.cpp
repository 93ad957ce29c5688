#include "udf/file_set.h"

#include <gtest/gtest.h>

#include "iso/byte_fields.h"
#include "iso/directory_records.h"
#include "support/test_support.h"
#include "udf_checks.h"

namespace pravel {
namespace {

using namespace std::string_literals;
using udf_checks::EntityId;
using udf_checks::TagIsValid;
using udf_checks::Text;

const std::string kNow = "\x01\x18\xEA\x07\x03\x04\x05\x06\x07\x08\x00\x00"s;

std::vector<uint8_t> Ucs2(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c >> 8));
    bytes.push_back(static_cast<uint8_t>(c));
  }
  return bytes;
}

TEST(FileIdentifier, SizesPaddingAndTagOfFiveAndSixCharacterNames) {
  std::vector<uint8_t> stream;
  AppendFileIdentifier(stream, 40, fid_characteristics::kParent, {}, 2);
  ASSERT_EQ(stream.size(), 72u);
  AppendFileIdentifier(stream, 40, fid_characteristics::kFile, EncodeCs0(u"ABCDE"), 9);
  ASSERT_EQ(stream.size(), 72u + 76u);  // 70 + 6, already a multiple of 4
  AppendFileIdentifier(stream, 40, fid_characteristics::kDirectory, EncodeCs0(u"ABCDEF"), 3);
  ASSERT_EQ(stream.size(), 72u + 76u + 80u);  // 77 padded to 80

  const uint8_t* parent = stream.data();
  EXPECT_TRUE(TagIsValid(parent, 257, 40, 56));
  EXPECT_EQ(GetLe16(parent + 16), 1);
  EXPECT_EQ(parent[18], 0x0A);
  EXPECT_EQ(parent[19], 0);
  EXPECT_EQ(Text(parent + 20, 16), "\x00\x08\x00\x00\x02\x00\x00\x00"s + std::string(8, '\0'));
  EXPECT_EQ(GetLe16(parent + 36), 32);
  EXPECT_EQ(Text(parent + 38, 32), EntityId(0, "\x08TALVORN\0"s, "\x01"s));
  EXPECT_EQ(Text(parent + 70, 2), std::string(2, '\0'));

  const uint8_t* five = stream.data() + 72;
  EXPECT_TRUE(TagIsValid(five, 257, 40, 60));
  EXPECT_EQ(five[18], 0x00);
  EXPECT_EQ(five[19], 6);
  EXPECT_EQ(GetLe32(five + 24), 9u);
  EXPECT_EQ(Text(five + 70, 6), "\x08" "ABCDE"s);

  const uint8_t* six = stream.data() + 148;
  EXPECT_TRUE(TagIsValid(six, 257, 40, 64));
  EXPECT_EQ(six[18], 0x02);
  EXPECT_EQ(six[19], 7);
  EXPECT_EQ(Text(six + 70, 10), "\x08" "ABCDEF\0\0\0"s);
}

TEST(FileIdentifier, WideNamesAndTagsOfIdentifiersPastTheFirstBlock) {
  std::vector<uint8_t> stream;
  AppendFileIdentifier(stream, 7, fid_characteristics::kParent, {}, 2);
  // "Ω.TXT": compression 16, 1 + 2 * 5 bytes: 81 padded to 84.
  AppendFileIdentifier(stream, 7, fid_characteristics::kFile, EncodeCs0(u"\u03A9.TXT"), 5);
  ASSERT_EQ(stream.size(), 72u + 84u);
  EXPECT_EQ(stream[72 + 19], 11);
  EXPECT_EQ(Text(stream.data() + 72 + 70, 14), "\x10\x03\xA9\x00.\x00T\x00X\x00T\0\0\0"s);
  EXPECT_TRUE(TagIsValid(stream.data() + 72, 257, 7, 68));
  // Identifiers may cross a block boundary; each is located in the block of
  // its first byte.
  while (stream.size() + 72 < 2048) AppendFileIdentifier(stream, 7, fid_characteristics::kFile, EncodeCs0(u"A"), 5);
  const size_t crossing = stream.size();
  AppendFileIdentifier(stream, 7, fid_characteristics::kFile, EncodeCs0(u"ABCDEFGHIJ"), 5);
  EXPECT_LT(crossing, 2048u);
  EXPECT_TRUE(TagIsValid(stream.data() + crossing, 257, 7, 68));
  AppendFileIdentifier(stream, 7, fid_characteristics::kFile, EncodeCs0(u"B"), 5);
  EXPECT_TRUE(TagIsValid(stream.data() + crossing + 84, 257, 8, 56));
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
  EXPECT_EQ(GetLe32(e + 16), 10u);  // prior recorded number of direct entries: block - 2
  EXPECT_EQ(GetLe16(e + 20), 4);
  EXPECT_EQ(GetLe16(e + 22), 0);
  EXPECT_EQ(GetLe16(e + 24), 1);
  EXPECT_EQ(e[27], 5);
  EXPECT_EQ(Text(e + 28, 6), std::string(6, '\0'));
  EXPECT_EQ(GetLe16(e + 34), 0x0230);
  EXPECT_EQ(GetLe32(e + 36), 0xFFFFFFFFu);
  EXPECT_EQ(GetLe32(e + 40), 0xFFFFFFFFu);
  EXPECT_EQ(GetLe32(e + 44), 0x14A5u);
  EXPECT_EQ(GetLe16(e + 48), 1);
  EXPECT_EQ(GetLe64(e + 56), 5000u);
  EXPECT_EQ(GetLe64(e + 64), 3u);
  EXPECT_EQ(Text(e + 72, 12), kNow);
  EXPECT_EQ(Text(e + 84, 12), kNow);
  EXPECT_EQ(Text(e + 96, 12), kNow);
  EXPECT_EQ(GetLe32(e + 108), 1u);
  EXPECT_EQ(Text(e + 112, 16), std::string(16, '\0'));
  EXPECT_EQ(Text(e + 128, 32), EntityId(0, "\x08*TALVORN\0"s, "\x01"s));
  EXPECT_EQ(GetLe64(e + 160), 17u);
  EXPECT_EQ(GetLe32(e + 168), 116u);
  EXPECT_EQ(GetLe32(e + 172), 8u);
  EXPECT_EQ(GetLe32(e + 292), 5000u);
  EXPECT_EQ(GetLe32(e + 296), 1234u);
  EXPECT_EQ(Text(e + 300, 2048 - 300), std::string(2048 - 300, '\0'));

  const uint8_t* ea = e + 176;
  EXPECT_TRUE(TagIsValid(ea, 262, 12, 100));
  EXPECT_EQ(GetLe32(ea + 16), 24u);
  EXPECT_EQ(GetLe32(ea + 20), 116u);
  EXPECT_EQ(GetLe32(ea + 24), 2048u);
  EXPECT_EQ(ea[28], 1);
  EXPECT_EQ(Text(ea + 29, 3), std::string(3, '\0'));
  EXPECT_EQ(GetLe32(ea + 32), 92u);
  EXPECT_EQ(GetLe32(ea + 36), 44u);
  EXPECT_EQ(Text(ea + 40, 32), EntityId(0, "\x08UDF FreeEASpace\0"s, "\x01"s));
  unsigned sum = 0;
  for (int i = 24; i < 72; ++i) sum += ea[i];
  EXPECT_EQ(GetLe16(ea + 72), static_cast<uint16_t>(sum));
  EXPECT_EQ(GetLe16(ea + 74), 0);
  EXPECT_EQ(Text(ea + 76, 32), EntityId(0, "\x08UDF DVD CGMS Info\0"s, "\x01"s));
  EXPECT_EQ(Text(ea + 108, 8), std::string(8, '\0'));

  // A directory of a 72-byte stream: its exact length, one block.
  Sector directory{};
  BuildFileEntry(t.job, directory.data(), FileEntryFacts{2, true, 72, {{72, 30}}, 0});
  EXPECT_TRUE(TagIsValid(directory.data(), 261, 2, 284));
  EXPECT_EQ(directory[27], 4);
  EXPECT_EQ(GetLe32(directory.data() + 16), 0u);
  EXPECT_EQ(GetLe64(directory.data() + 56), 72u);
  EXPECT_EQ(GetLe64(directory.data() + 64), 1u);
  EXPECT_EQ(GetLe32(directory.data() + 292), 72u);
  EXPECT_EQ(GetLe32(directory.data() + 296), 30u);
}

TEST(FileEntry, LargeFileDescriptorsGrowTheEntry) {
  testing::TestJob t;
  Sector sector{};
  const uint64_t length = 3ull << 29;  // 1.5 GiB
  BuildFileEntry(t.job, sector.data(), FileEntryFacts{40, false, length, SplitIntoExtents(length, 100), 20});
  EXPECT_TRUE(TagIsValid(sector.data(), 261, 40, 292));
  EXPECT_EQ(GetLe64(sector.data() + 56), length);
  EXPECT_EQ(GetLe64(sector.data() + 64), length / 2048);
  EXPECT_EQ(GetLe32(sector.data() + 172), 16u);
  EXPECT_EQ(GetLe32(sector.data() + 292), kMaxExtentBytes);
  EXPECT_EQ(GetLe32(sector.data() + 296), 100u);
  EXPECT_EQ(GetLe32(sector.data() + 300), length - kMaxExtentBytes);
  EXPECT_EQ(GetLe32(sector.data() + 304), 100u + kMaxExtentBytes / 2048);
  EXPECT_EQ(Text(sector.data() + 308, 2048 - 308), std::string(2048 - 308, '\0'));
}

TEST(FileSetDescriptor, AsItsTableGivesIt) {
  testing::TestJob t;
  Sector sector{};
  BuildFileSetDescriptor(t.job, sector.data());
  const uint8_t* d = sector.data();
  EXPECT_TRUE(TagIsValid(d, 256, 0, 496));
  EXPECT_EQ(Text(d + 16, 12), kNow);
  EXPECT_EQ(GetLe16(d + 28), 3);
  EXPECT_EQ(GetLe16(d + 30), 3);
  EXPECT_EQ(GetLe32(d + 32), 1u);
  EXPECT_EQ(GetLe32(d + 36), 1u);
  EXPECT_EQ(GetLe32(d + 40), 0u);
  EXPECT_EQ(GetLe32(d + 44), 0u);
  const std::string charspec = "\x00OSTA Compressed Unicode"s + std::string(40, '\0');
  EXPECT_EQ(Text(d + 48, 64), charspec);
  EXPECT_EQ(Text(d + 112, 128), "\x08Kestrand Logical Vol. Space"s + std::string(99, '\0') + "\x1C"s);
  EXPECT_EQ(Text(d + 240, 64), charspec);
  EXPECT_EQ(Text(d + 304, 32), "\x08Root"s + std::string(26, '\0') + "\x05"s);
  EXPECT_EQ(Text(d + 336, 64), std::string(64, '\0'));
  EXPECT_EQ(Text(d + 400, 16), "\x00\x08\x00\x00\x02\x00\x00\x00"s + std::string(8, '\0'));
  EXPECT_EQ(Text(d + 416, 32), EntityId(0, "*OSTA UDF Compliant\0"s, "\x02\x01\x03"s));
  EXPECT_EQ(Text(d + 448, 2048 - 448), std::string(2048 - 448, '\0'));
}

TEST(DirectoryFiles, RecordsAfterTheDotsWithUdfNames) {
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
  ASSERT_GE(records.size(), 3u);
  EXPECT_TRUE(records[0].isDirectory);
  EXPECT_EQ(records[0].extent, 500u);
  EXPECT_EQ(UdfNameOf(records[0]), u"Sub");
  EXPECT_FALSE(records[1].isDirectory);
  EXPECT_EQ(records[1].extent, 6000u);
  EXPECT_EQ(records[1].dataLength, 1234567u);
  EXPECT_EQ(UdfNameOf(records[1]), u"\u03A9 f\u00E9");
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
