#include "udf/volume_structures.h"

#include <gtest/gtest.h>

#include "iso/byte_fields.h"
#include "platform/files.h"
#include "support/descriptor_checks.h"
#include "support/test_support.h"
#include "udf/anchor.h"
#include "udf/file_set.h"

namespace pravel {
namespace {

using namespace std::string_literals;
using testing::EntityId;
using testing::ExpectFields;
using testing::TagIsValid;
using testing::Text;
using testing::ZerosFrom;

const std::string kJaro = EntityId(0, "JARO VENSTIK\0"s, "\x01"s);

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

  void Patch(const UdfTotals& totals) {
    ASSERT_TRUE(PatchUdfVolumeDescriptors(t.job, *writer, state, totals)) << t.ui.messages.back().text;
    bytes = testing::ReadFile(image);
  }

  const uint8_t* At(uint32_t sector) const {
    return reinterpret_cast<const uint8_t*>(bytes.data()) + size_t{sector} * 2048;
  }
  bool IsZero(uint32_t sector) const { return Text(At(sector), 2048) == std::string(2048, '\0'); }

  testing::TempDir dir;
  testing::TestJob t;
  std::string image;
  platform::File file;
  std::unique_ptr<SectorWriter> writer;
  UdfVolumeState state;
  std::string bytes;
};

const std::string kCharspec = "\x00OSTA Compressed Unicode"s + std::string(40, '\0');
const std::string kBuildTime = "\x00\x10\xEA\x07\x03\x04\x05\x06\x07\x08\x00\x00"s;  // type 1, offset 0

void ExpectPrimary(const uint8_t* d, uint32_t location, const std::string& volumeId) {
  EXPECT_TRUE(TagIsValid(d, 1, location, 496));
  std::string id = "\x08"s + volumeId;
  id.resize(31, '\0');
  id += static_cast<char>(volumeId.size() + 1);
  // The tick count 123456 of the test clock, in eight hexadecimal digits.
  const std::string volumeSet = "\x08" "0001e240 TALVORN"s + std::string(110, '\0') + "\x11"s;
  ExpectFields(d, {{16, 4, 1}, {20, 4, 1}, {24, id}, {56, 2, 1}, {58, 2, 1}, {60, 2, 2}, {62, 2, 2}, {64, 4, 1},
                   {68, 4, 1}, {72, volumeSet}, {200, kCharspec}, {264, kCharspec}, {328, std::string(16, '\0')},
                   {344, EntityId(0, "\\WINDOWS\\WIN3PLAY.EXE\0"s, "\x01"s)}, {376, kBuildTime}, {388, kJaro},
                   {420, "Kestrand 4.10"s + std::string(51, '\0')}, ZerosFrom(484)});
}

// An 8-bit CS0 dstring of `size` bytes.
std::string Dstring8(const std::string& text, size_t size) {
  std::string field = "\x08"s + text;
  field.resize(size - 1, '\0');
  return field + static_cast<char>(text.size() + 1);
}

// The label of the test volume, as the logical volume and its information carry it.
const std::string kLabel = Dstring8("Title_Disc", 128);

void ExpectImplementationUse(const uint8_t* d, uint32_t location) {
  EXPECT_TRUE(TagIsValid(d, 4, location, 496));
  ExpectFields(d, {{16, 4, 1}, {20, EntityId(0, "*UDF LV Info\0"s, "\x00\x01\x01"s)}, {52, kCharspec},
                   {116, kLabel}, {244, std::string(108, '\0')}, {352, kJaro}, ZerosFrom(384)});
}

void ExpectPartition(const uint8_t* d, uint32_t location, uint32_t start, uint32_t length) {
  EXPECT_TRUE(TagIsValid(d, 5, location, 496));
  ExpectFields(d, {{16, 4, 1}, {20, 2, 1}, {22, 2, 0}, {24, "\x02+NSR02"s + std::string(25, '\0')}, {184, 4, 1},
                   {188, 4, start}, {192, 4, length}, {196, EntityId(0, "*TALVORN\0"s, "\x01"s)}, ZerosFrom(228)});
}

void ExpectLogicalVolume(const uint8_t* d, uint32_t location, uint32_t fileSetLength, uint32_t fileSetBlock) {
  EXPECT_TRUE(TagIsValid(d, 6, location, 430));
  ExpectFields(d, {{16, 4, 1}, {20, kCharspec}, {84, kLabel},
                   {212, 4, 2048}, {216, EntityId(0, "*OSTA UDF Compliant\0"s, "\x02\x01\x03"s)},
                   {248, 4, fileSetLength}, {252, 4, fileSetBlock}, {256, std::string(8, '\0')}, {264, 4, 6},
                   {268, 4, 1}, {272, kJaro}, {432, 4, 4096}, {436, 4, 64}, {440, "\x01\x06\x01\x00\x00\x00"s},
                   ZerosFrom(446)});
}

void ExpectIntegrity(const uint8_t* d, uint64_t uniqueId, uint32_t size, uint32_t files, uint32_t directories) {
  EXPECT_TRUE(TagIsValid(d, 9, 64, 118));
  ExpectFields(d, {{16, kBuildTime}, {28, 4, 1}, {32, std::string(8, '\0')}, {40, 8, uniqueId},
                   {48, std::string(24, '\0')}, {72, 4, 1}, {76, 4, 46}, {80, 4, 0}, {84, 4, size}, {88, kJaro},
                   {120, 4, files}, {124, 4, directories}, {128, 2, 0x0102}, {130, 2, 0x0102}, {132, 2, 0x0102},
                   ZerosFrom(134)});
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

TEST_F(VolumeStructuresTest, EveryDescriptorAsItsTableGivesIt) {
  TickingClock clock;
  t.job.clock = &clock;
  Write();
  ASSERT_EQ(bytes.size(), 257u * 2048);
  EXPECT_EQ(Text(At(19), 2048), "\0BEA01\x01"s + std::string(2041, '\0'));
  EXPECT_EQ(Text(At(20), 2048), "\0NSR02\x01"s + std::string(2041, '\0'));
  EXPECT_EQ(Text(At(21), 2048), "\0TEA01\x01"s + std::string(2041, '\0'));
  for (uint32_t base : {32u, 48u}) {
    SCOPED_TRACE(base);
    ExpectPrimary(At(base), base, "Title_Disc");
    ExpectImplementationUse(At(base + 1), base + 1);
    ExpectPartition(At(base + 2), base + 2, 0, 0);
    ExpectLogicalVolume(At(base + 3), base + 3, 1000, 1000);
    EXPECT_TRUE(TagIsValid(At(base + 4), 7, base + 4, 16));
    ExpectFields(At(base + 4), {{16, 4, 1}, ZerosFrom(20)});
    EXPECT_TRUE(TagIsValid(At(base + 5), 8, base + 5, 496));
    ExpectFields(At(base + 5), {ZerosFrom(16)});
  }
  EXPECT_TRUE(TagIsValid(At(64), 9, 64, 118));  // completed by the patch
  EXPECT_TRUE(TagIsValid(At(65), 8, 65, 496));
  EXPECT_TRUE(testing::AnchorIsValid(At(256), 256));
  for (uint32_t sector = 0; sector < 256; ++sector) {
    bool written = (sector >= 19 && sector <= 21) || (sector >= 32 && sector <= 37) ||
                   (sector >= 48 && sector <= 53) || sector == 64 || sector == 65;
    if (!written) {
      EXPECT_TRUE(IsZero(sector)) << sector;
    }
  }
}

TEST_F(VolumeStructuresTest, PatchCompletesPartitionFileSetAndIntegrity) {
  Write();
  const std::string before = bytes;
  t.job.volumeSectors = 4112;
  Patch(UdfTotals{460, 25, 7, 3});
  for (uint32_t base : {32u, 48u}) {
    SCOPED_TRACE(base);
    ExpectPartition(At(base + 2), base + 2, 460, 4112 - 460);
    ExpectLogicalVolume(At(base + 3), base + 3, 4096, 0);
  }
  // Main and reserve copies differ only in their tags.
  EXPECT_EQ(Text(At(34) + 16, 2032), Text(At(50) + 16, 2032));
  EXPECT_EQ(Text(At(35) + 16, 2032), Text(At(51) + 16, 2032));
  ExpectIntegrity(At(64), 26, 4112 - 460, 10, 3);
  // Nothing else moved.
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
