#include "udf/udf_fields.h"

#include <gtest/gtest.h>

#include <array>

#include "iso/byte_fields.h"
#include "support/descriptor_checks.h"

namespace pravel {
namespace {

using testing::EntityId;
using testing::Text;
using namespace std::string_literals;

TEST(EntityIdentifier, TextThenNulOnBlanksThenSuffix) {
  std::array<uint8_t, 32> field{};
  field.fill(0xEE);
  PutEntityId(field.data(), "*OSTA UDF Compliant", kDomainSuffix);
  EXPECT_EQ(Text(field.data(), 32), EntityId(0, "*OSTA UDF Compliant\0"s, "\x02\x01\x03"s));

  PutMarkedEntityId(field.data(), "*TALVORN", kImplementationSuffix);
  EXPECT_EQ(Text(field.data(), 32), EntityId(0, "\x08*TALVORN\0"s, "\x01"s));

  PutEntityId(field.data(), "*UDF LV Info", kLvInfoSuffix);
  EXPECT_EQ(Text(field.data() + 24, 8), "\x00\x01\x01\x00\x00\x00\x00\x00"s);
}

TEST(Charspec, Cs0AndTheOstaTextZeroFilled) {
  std::array<uint8_t, 64> field{};
  field.fill(0xEE);
  PutCharspec(field.data());
  EXPECT_EQ(Text(field.data(), 64), ("\x00OSTA Compressed Unicode"s + std::string(40, '\0')));
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

TEST(Dstring, Cs0WithTheLengthInTheLastByte) {
  std::array<uint8_t, 32> field{};
  field.fill(0xEE);
  EXPECT_EQ(PutDstring(field.data(), 32, u"Root"), 4u);
  EXPECT_EQ(Text(field.data(), 32), "\x08Root"s + std::string(26, '\0') + "\x05"s);

  field.fill(0xEE);
  EXPECT_EQ(PutDstring(field.data(), 32, u""), 0u);
  EXPECT_EQ(Text(field.data(), 32), std::string(32, '\0'));

  // A 32-byte field holds 30 characters of compression 8.
  const std::u16string thirtyOne(31, u'V');
  EXPECT_EQ(PutDstring(field.data(), 32, thirtyOne), 30u);
  EXPECT_EQ(Text(field.data(), 32), "\x08"s + std::string(30, 'V') + "\x1F"s);

  // A character above U+00FF turns the whole string into compression 16.
  EXPECT_EQ(PutDstring(field.data(), 32, u"A\u03A9"), 2u);
  EXPECT_EQ(Text(field.data(), 32), "\x10\x00" "A\x03\xA9"s + std::string(26, '\0') + "\x05"s);
  EXPECT_EQ(PutDstring(field.data(), 32, std::u16string(20, u'\u03A9')), 15u);
  EXPECT_EQ(field[31], 31);
}

TEST(Cs0Names, Latin1StaysEightBitAndWiderCharactersTakeSixteen) {
  EXPECT_EQ(EncodeCs0(u"Caf\u00E9"), (std::vector<uint8_t>{8, 'C', 'a', 'f', 0xE9}));
  // Two names that differ only in the high byte stay different.
  EXPECT_EQ(EncodeCs0(u"\u03A9"), (std::vector<uint8_t>{16, 0x03, 0xA9}));
  EXPECT_EQ(EncodeCs0(u"\u00A9"), (std::vector<uint8_t>{8, 0xA9}));
  EXPECT_TRUE(EncodeCs0(u"").empty());
}

TEST(AllocationDescriptors, ShortAndLongForms) {
  std::array<uint8_t, 16> field{};
  field.fill(0xEE);
  PutLongAd(field.data(), 2048, 0x01020304, 0);
  EXPECT_EQ(Text(field.data(), 16), "\x00\x08\x00\x00\x04\x03\x02\x01"s + std::string(8, '\0'));
  PutShortAd(field.data(), {72, 9});
  EXPECT_EQ(Text(field.data(), 8), "\x48\x00\x00\x00\x09\x00\x00\x00"s);
}

TEST(AllocationDescriptors, LargeFilesAreSplitBelowTheExtentTypeBits) {
  constexpr uint32_t kBlocks = kMaxExtentBytes / 2048;
  static_assert(kMaxExtentBytes == (1u << 30) - 2048);
  EXPECT_EQ(SplitIntoExtents(0, 77), (std::vector<ShortAd>{{0, 77}}));
  EXPECT_EQ(SplitIntoExtents(5000, 77), (std::vector<ShortAd>{{5000, 77}}));
  EXPECT_EQ(SplitIntoExtents(kMaxExtentBytes, 77), (std::vector<ShortAd>{{kMaxExtentBytes, 77}}));
  EXPECT_EQ(SplitIntoExtents(1ull << 30, 77), (std::vector<ShortAd>{{kMaxExtentBytes, 77}, {2048, 77 + kBlocks}}));
  EXPECT_EQ(SplitIntoExtents(3ull << 29, 10),
            (std::vector<ShortAd>{{kMaxExtentBytes, 10}, {(3u << 29) - kMaxExtentBytes, 10 + kBlocks}}));
  std::vector<ShortAd> big = SplitIntoExtents(0xFFFFFFFFull, 0);
  ASSERT_EQ(big.size(), 5u);
  uint64_t total = 0;
  for (const ShortAd& ad : big) {
    EXPECT_EQ(ad.length >> 30, 0u) << "no extent type bits";
    total += ad.length;
  }
  EXPECT_EQ(total, 0xFFFFFFFFull);
  EXPECT_EQ(big[4].position, 4 * kBlocks);
}

}  // namespace
}  // namespace pravel
