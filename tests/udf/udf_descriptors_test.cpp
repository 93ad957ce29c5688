// On-disc UDF structures against the tables of the standards: descriptor
// tags, timestamps, file identifiers and entries, the file set, and the
// volume descriptor sequences as written and patched.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "iso/byte_fields.h"
#include "iso/directory_records.h"
#include "platform/files.h"
#include "support/descriptor_checks.h"
#include "support/test_support.h"
#include "udf/anchor.h"
#include "udf/descriptor_tag.h"
#include "udf/file_set.h"
#include "udf/udf_fields.h"
#include "udf/volume_structures.h"

namespace pravel {
namespace {

using namespace std::string_literals;
using namespace testing;

const std::string kCharspec = "\x00OSTA Compressed Unicode"s + std::string(40, '\0');
const std::string kBuildTime = "\x00\x10\xEA\x07\x03\x04\x05\x06\x07\x08\x00\x00"s;  // type 1, offset 0

// Every descriptor test checks its tag (checksum, CRC over lengths from 16 to
// 496, location) with TagIsValid, whose CRC is computed bit by bit.

// Type 1 in the top four bits of Type and Timezone, the offset in minutes as
// a 12-bit two's complement number in the low twelve (ECMA-167 1/7.3.1).
TEST(Timestamp, LocalTimeWithItsOffsetFromUtc) {
  // The offset in minutes, then the two bytes of Type and Timezone.
  const int cases[][3] = {
      {0, 0x00, 0x10}, {330, 0x4A, 0x11}, {-300, 0xD4, 0x1E}, {-720, 0x30, 0x1D}, {840, 0x48, 0x13}};
  for (const auto& [offsetMinutes, low, high] : cases) {
    SCOPED_TRACE(offsetMinutes);
    std::array<uint8_t, 12> field{};
    field.fill(0xEE);
    PutTimestamp(field.data(), platform::LocalTime{2026, 3, 4, 5, 6, 7, 8, offsetMinutes});
    EXPECT_EQ(field, (std::array<uint8_t, 12>{static_cast<uint8_t>(low), static_cast<uint8_t>(high), 0xEA, 0x07, 3, 4,
                                              5, 6, 7, 8, 0, 0}));
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

std::vector<uint8_t> Ucs2(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) bytes.insert(bytes.end(), {static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
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

// A file, a directory of a 72-byte stream (its exact length, one block) and
// a 1.5 GiB file whose extents grow the entry.
TEST(FileEntry, FieldsExtendedAttributesAndTagsOfFilesAndADirectory) {
  testing::TestJob t;
  Sector sector{};
  BuildFileEntry(t.job, sector.data(), FileEntryFacts{12, false, 5000, {{5000, 1234}}, 17});
  const uint8_t* e = sector.data();
  EXPECT_TRUE(TagIsValid(e, 261, 12, 284));
  // Prior recorded number of direct entries: block - 2.
  ExpectFields(e, {{16, 4, 10}, {20, 2, 4}, {22, 2, 0}, {24, 2, 1}, {27, 1, 5}, {28, std::string(6, '\0')},
                   {34, 2, 0x0230}, {36, 4, 0xFFFFFFFF}, {40, 4, 0xFFFFFFFF}, {44, 4, 0x14A5}, {48, 2, 1},
                   {56, 8, 5000}, {64, 8, 3}, {72, kBuildTime}, {84, kBuildTime}, {96, kBuildTime}, {108, 4, 1},
                   {112, std::string(16, '\0')}, {128, EntityId(0, "\x08*TALVORN\0"s, "\x01"s)}, {160, 8, 17},
                   {168, 4, 116}, {172, 4, 8}, {292, 4, 5000}, {296, 4, 1234}, ZerosFrom(300)});
  const uint8_t* ea = e + 176;
  EXPECT_TRUE(TagIsValid(ea, 262, 12, 100));
  unsigned sum = 0;
  for (int i = 24; i < 72; ++i) sum += ea[i];
  ExpectFields(ea, {{16, 4, 24}, {20, 4, 116}, {24, 4, 2048}, {28, 1, 1}, {29, std::string(3, '\0')}, {32, 4, 92},
                    {36, 4, 44}, {40, EntityId(0, "\x08UDF FreeEASpace\0"s, "\x01"s)}, {72, 2, sum & 0xFFFF},
                    {74, 2, 0}, {76, EntityId(0, "\x08UDF DVD CGMS Info\0"s, "\x01"s)}, {108, std::string(8, '\0')}});

  sector.fill(0);
  BuildFileEntry(t.job, sector.data(), FileEntryFacts{2, true, 72, {{72, 30}}, 0});
  EXPECT_TRUE(TagIsValid(e, 261, 2, 284));
  ExpectFields(e, {{27, 1, 4}, {16, 4, 0}, {56, 8, 72}, {64, 8, 1}, {292, 4, 72}, {296, 4, 30}});

  sector.fill(0);
  const uint64_t length = 3ull << 29;
  BuildFileEntry(t.job, sector.data(), FileEntryFacts{40, false, length, SplitIntoExtents(length, 100), 20});
  EXPECT_TRUE(TagIsValid(e, 261, 40, 292));
  ExpectFields(e, {{56, 8, length}, {64, 8, length / 2048}, {172, 4, 16}, {292, 4, kMaxExtentBytes}, {296, 4, 100},
                   {300, 4, length - kMaxExtentBytes}, {304, 4, 100 + kMaxExtentBytes / 2048}, ZerosFrom(308)});
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

const std::string kJaro = EntityId(0, "JARO VENSTIK\0"s, "\x01"s);

// An 8-bit CS0 dstring of `size` bytes.
std::string Dstring8(const std::string& text, size_t size) {
  std::string field = "\x08"s + text;
  field.resize(size - 1, '\0');
  return field + static_cast<char>(text.size() + 1);
}

// A clock that moves on at every reading: the volume takes its time and tick
// count from the first, in the main and the reserve sequence alike.
class TickingClock final : public platform::Clock {
 public:
  platform::LocalTime Now() override { return {2026, 3, 4, 5, 6, 7, 8 + readings_++}; }
  uint32_t TickCount() override { return 123456 + 7 * ticks_++; }
  uint64_t ElapsedMilliseconds() override { return 0; }

 private:
  int readings_ = 0;
  uint32_t ticks_ = 0;
};

// Sectors 19 to 256 written into a file that holds 19 zero sectors before them.
class VolumeStructuresTest : public ::testing::Test {
 protected:
  VolumeStructuresTest() {
    t.job.volumeId = "Title_Disc";
    image = dir / "LAYER01.IMG";
    file = *platform::File::Open(image, platform::File::Mode::kCreate);
    writer = std::make_unique<SectorWriter>(t.job, file, image);
  }

  void Write() {
    ASSERT_TRUE(writer->AppendZeroSectors(19));
    ASSERT_TRUE(WriteUdfVolumeDescriptors(t.job, *writer, state));
    EXPECT_EQ(writer->NextSector(), 257u);
    ASSERT_TRUE(writer->FlushImageSectors());
    bytes = testing::ReadFile(image);
  }

  const uint8_t* At(uint32_t sector) const {
    return reinterpret_cast<const uint8_t*>(bytes.data()) + size_t{sector} * 2048;
  }

  // The partition and logical volume descriptors of both sequences, before
  // the patch (a partition of 0 sectors at 0, the file set at block 1000)
  // or after it.
  void ExpectPatchedFields(uint32_t start, uint32_t length, uint32_t fileSetLength, uint32_t fileSetBlock) {
    for (uint32_t base : {34u, 50u}) {
      SCOPED_TRACE(base);
      EXPECT_TRUE(TagIsValid(At(base), 5, base, 496));
      ExpectFields(At(base), {{16, 4, 1}, {20, 2, 1}, {22, 2, 0}, {24, "\x02+NSR02"s + std::string(25, '\0')},
                              {184, 4, 1}, {188, 4, start}, {192, 4, length},
                              {196, EntityId(0, "*TALVORN\0"s, "\x01"s)}, ZerosFrom(228)});
      EXPECT_TRUE(TagIsValid(At(base + 1), 6, base + 1, 430));
      ExpectFields(At(base + 1), {{16, 4, 1}, {20, kCharspec}, {84, Dstring8("Title_Disc", 128)}, {212, 4, 2048},
                                  {216, EntityId(0, "*OSTA UDF Compliant\0"s, "\x02\x01\x03"s)},
                                  {248, 4, fileSetLength}, {252, 4, fileSetBlock}, {256, std::string(8, '\0')},
                                  {264, 4, 6}, {268, 4, 1}, {272, kJaro}, {432, 4, 4096}, {436, 4, 64},
                                  {440, "\x01\x06\x01\x00\x00\x00"s}, ZerosFrom(446)});
    }
  }

  testing::TempDir dir;
  testing::TestJob t;
  std::string image;
  platform::File file;
  std::unique_ptr<SectorWriter> writer;
  UdfVolumeState state;
  std::string bytes;
};

TEST_F(VolumeStructuresTest, EveryDescriptorAsItsTableGivesIt) {
  TickingClock clock;
  t.job.clock = &clock;
  Write();
  ASSERT_EQ(bytes.size(), 257u * 2048);
  for (uint32_t sector = 0; sector < 256; ++sector) {
    const bool written = (sector >= 19 && sector <= 21) || (sector >= 32 && sector <= 37) ||
                         (sector >= 48 && sector <= 53) || sector == 64 || sector == 65;
    EXPECT_TRUE(written || Text(At(sector), 2048) == std::string(2048, '\0')) << sector;
  }
  EXPECT_EQ(Text(At(19), 2048), "\0BEA01\x01"s + std::string(2041, '\0'));
  EXPECT_EQ(Text(At(20), 2048), "\0NSR02\x01"s + std::string(2041, '\0'));
  EXPECT_EQ(Text(At(21), 2048), "\0TEA01\x01"s + std::string(2041, '\0'));
  // The tick count 123456 of the test clock, in eight hexadecimal digits.
  const std::string volumeSet = "\x08" "0001e240 TALVORN"s + std::string(110, '\0') + "\x11"s;
  for (uint32_t base : {32u, 48u}) {
    SCOPED_TRACE(base);
    EXPECT_TRUE(TagIsValid(At(base), 1, base, 496));
    ExpectFields(At(base), {{16, 4, 1}, {20, 4, 1}, {24, Dstring8("Title_Disc", 32)}, {56, 2, 1}, {58, 2, 1},
                            {60, 2, 2}, {62, 2, 2}, {64, 4, 1}, {68, 4, 1}, {72, volumeSet}, {200, kCharspec},
                            {264, kCharspec}, {328, std::string(16, '\0')},
                            {344, EntityId(0, "\\WINDOWS\\WIN3PLAY.EXE\0"s, "\x01"s)}, {376, kBuildTime},
                            {388, kJaro}, {420, "Kestrand 4.10"s + std::string(51, '\0')}, ZerosFrom(484)});
    EXPECT_TRUE(TagIsValid(At(base + 1), 4, base + 1, 496));
    ExpectFields(At(base + 1), {{16, 4, 1}, {20, EntityId(0, "*UDF LV Info\0"s, "\x00\x01\x01"s)},
                                {52, kCharspec}, {116, Dstring8("Title_Disc", 128)}, {244, std::string(108, '\0')},
                                {352, kJaro}, ZerosFrom(384)});
    EXPECT_TRUE(TagIsValid(At(base + 4), 7, base + 4, 16));
    ExpectFields(At(base + 4), {{16, 4, 1}, ZerosFrom(20)});
    EXPECT_TRUE(TagIsValid(At(base + 5), 8, base + 5, 496));
    ExpectFields(At(base + 5), {ZerosFrom(16)});
  }
  ExpectPatchedFields(0, 0, 1000, 1000);
  EXPECT_TRUE(TagIsValid(At(64), 9, 64, 118));  // completed by the patch
  EXPECT_TRUE(TagIsValid(At(65), 8, 65, 496));
  EXPECT_TRUE(testing::AnchorIsValid(At(256), 256));
}

// Main and reserve copies differ only in their tags; nothing else moves.
TEST_F(VolumeStructuresTest, PatchCompletesPartitionFileSetAndIntegrity) {
  Write();
  const std::string before = bytes;
  t.job.volumeSectors = 4112;
  ASSERT_TRUE(PatchUdfVolumeDescriptors(t.job, *writer, state, UdfTotals{460, 25, 7, 3})) << t.ui.messages.back().text;
  bytes = testing::ReadFile(image);
  ExpectPatchedFields(460, 4112 - 460, 4096, 0);
  EXPECT_EQ(Text(At(34) + 16, 2032), Text(At(50) + 16, 2032));
  EXPECT_EQ(Text(At(35) + 16, 2032), Text(At(51) + 16, 2032));
  EXPECT_TRUE(TagIsValid(At(64), 9, 64, 118));
  ExpectFields(At(64), {{16, kBuildTime}, {28, 4, 1}, {32, std::string(8, '\0')}, {40, 8, 26},
                        {48, std::string(24, '\0')}, {72, 4, 1}, {76, 4, 46}, {80, 4, 0}, {84, 4, 4112 - 460},
                        {88, kJaro}, {120, 4, 10}, {124, 4, 3}, {128, 2, 0x0102}, {130, 2, 0x0102},
                        {132, 2, 0x0102}, ZerosFrom(134)});
  for (uint32_t sector = 0; sector < 257; ++sector) {
    if (sector == 34 || sector == 35 || sector == 50 || sector == 51 || sector == 64) continue;
    EXPECT_EQ(Text(At(sector), 2048), before.substr(size_t{sector} * 2048, 2048)) << sector;
  }
}

// The label the operator gave shows on every UDF structure that names the
// volume: upper-cased with the disc's names, UTF-8 read as characters, cut
// to the field (15 or 63 characters of 16 bits).
TEST_F(VolumeStructuresTest, LogicalVolumeAndFileSetCarryTheVolumeLabel) {
  struct Case {
    std::string volumeId;
    int upperCase;
    std::string volumeField;   // 32 bytes
    std::string logicalField;  // 128 bytes
  };
  // "\xCE\xA9" is "Ω"; 15 and 63 of them fit the fields in compression 16.
  std::string omegas;
  for (int i = 0; i < 70; ++i) omegas += "\xCE\xA9";
  auto cs0Omegas = [](int count) {
    std::string field = "\x10"s;
    for (int i = 0; i < count; ++i) field += "\x03\xA9"s;
    return field;
  };
  const Case cases[] = {
      {"Title_Disc", 1, Dstring8("TITLE_DISC", 32), Dstring8("TITLE_DISC", 128)},
      {omegas, 0, cs0Omegas(15) + "\x1F"s, cs0Omegas(63) + "\x7F"s},
      {std::string(70, 'v'), 0, Dstring8(std::string(30, 'v'), 32), Dstring8(std::string(70, 'v'), 128)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.volumeId);
    t.job.volumeId = c.volumeId;
    t.job.upperCaseNames = c.upperCase;
    Sector pvd{}, iuvd{}, lvd{}, fsd{};
    BuildUdfPrimaryDescriptor(t.job, pvd.data(), 32);
    BuildImplementationUseDescriptor(t.job, iuvd.data(), 33);
    BuildLogicalVolumeDescriptor(t.job, lvd.data(), 35);
    BuildFileSetDescriptor(t.job, fsd.data());
    EXPECT_EQ(Text(pvd.data() + 24, 32), c.volumeField);
    EXPECT_EQ(Text(iuvd.data() + 116, 128), c.logicalField);
    EXPECT_EQ(Text(lvd.data() + 84, 128), c.logicalField);
    EXPECT_EQ(Text(fsd.data() + 112, 128), c.logicalField);
  }
}

}  // namespace
}  // namespace pravel
