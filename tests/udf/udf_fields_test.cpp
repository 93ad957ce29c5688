#include "udf/udf_fields.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "iso/byte_fields.h"
#include "support/descriptor_checks.h"
#include "udf/descriptor_tag.h"

namespace pravel {
namespace {

// The standard's example, and a long run against a CRC computed bit by bit;
// every descriptor test checks its tag (checksum, CRC, location) with
// TagIsValid.
TEST(DescriptorCrc, MatchesTheStandardsExampleAndABitwiseCrc) {
  const uint8_t example[] = {0x70, 0x6A, 0x77};
  EXPECT_EQ(DescriptorCrc(example, 3), 0x3299);
  EXPECT_EQ(DescriptorCrc(example, 0), 0);
  std::vector<uint8_t> bytes(2032);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + (i >> 8));
  // Every length up to two blocks of eight and beyond, so that each tail is taken.
  for (size_t length : {1, 2, 5, 7, 8, 9, 15, 16, 17, 2031, 2032}) {
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

// A 32-byte field holds 15 characters of compression 16 (the 8-bit cut and
// the 16-bit form stand in the descriptor tables of the volume tests).
TEST(Dstring, SixteenBitCharactersAreCutToTheField) {
  std::array<uint8_t, 32> field{};
  EXPECT_EQ(PutDstring(field.data(), 32, std::u16string(20, u'\u03A9')), 15u);
  EXPECT_EQ(field[0], 16);
  EXPECT_EQ(field[31], 31);
}

TEST(AllocationDescriptors, LargeFilesAreSplitBelowTheExtentTypeBits) {
  constexpr uint32_t kBlocks = kMaxExtentBytes / 2048;
  static_assert(kMaxExtentBytes == (1u << 30) - 2048);
  EXPECT_EQ(SplitIntoExtents(0, 77), (std::vector<ShortAd>{{0, 77}}));
  EXPECT_EQ(SplitIntoExtents(kMaxExtentBytes, 77), (std::vector<ShortAd>{{kMaxExtentBytes, 77}}));
  EXPECT_EQ(SplitIntoExtents(1ull << 30, 77), (std::vector<ShortAd>{{kMaxExtentBytes, 77}, {2048, 77 + kBlocks}}));
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
