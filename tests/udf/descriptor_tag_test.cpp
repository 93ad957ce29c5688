#include "udf/descriptor_tag.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "iso/byte_fields.h"
#include "udf/anchor.h"

namespace pravel {
namespace {

// The checksum recomputed by hand, independent of the code under test.
uint8_t SumOfTag(const uint8_t* tag) {
  unsigned sum = 0;
  for (int i = 0; i < 16; ++i)
    if (i != 4) sum += tag[i];
  return static_cast<uint8_t>(sum % 256);
}

// A bit-by-bit CRC-CCITT (no table) to check the table-driven one.
uint16_t BitwiseCrc(const uint8_t* data, size_t length) {
  uint16_t crc = 0;
  for (size_t i = 0; i < length; ++i) {
    crc ^= static_cast<uint16_t>(data[i] << 8);
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

TEST(DescriptorCrc, MatchesTheStandardsExampleAndABitwiseCrc) {
  const uint8_t example[] = {0x70, 0x6A, 0x77};
  EXPECT_EQ(DescriptorCrc(example, 3), 0x3299);
  EXPECT_EQ(DescriptorCrc(example, 0), 0);

  std::vector<uint8_t> bytes(2032);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + (i >> 8));
  EXPECT_EQ(DescriptorCrc(bytes.data(), bytes.size()), BitwiseCrc(bytes.data(), bytes.size()));
}

TEST(TagChecksum, SumsEveryTagByteButItself) {
  std::array<uint8_t, 16> tag{};
  for (int i = 0; i < 16; ++i) tag[i] = static_cast<uint8_t>(0xF0 + i);
  tag[4] = 0x55;  // an old checksum must not count
  SetTagChecksum(tag.data());
  EXPECT_EQ(tag[4], SumOfTag(tag.data()));
  const uint8_t expected = static_cast<uint8_t>(15 * 0xF0 + (0 + 1 + 2 + 3 + 5 + 6 + 7 + 8 + 9 + 10 + 11 + 12 + 13 + 14 + 15));
  EXPECT_EQ(tag[4], expected);
}

TEST(DescriptorTag, FillsEveryFieldAndCoversOnlyTheDeclaredLength) {
  std::vector<uint8_t> descriptor(2048, 0);
  for (size_t i = 16; i < 2048; ++i) descriptor[i] = static_cast<uint8_t>(i);
  PutDescriptorTag(descriptor.data(), 261, 2, 7, 284, 0x01020304);
  EXPECT_EQ(GetLe16(&descriptor[0]), 261);
  EXPECT_EQ(GetLe16(&descriptor[2]), 2);
  EXPECT_EQ(descriptor[5], 0);
  EXPECT_EQ(GetLe16(&descriptor[6]), 7);
  EXPECT_EQ(GetLe16(&descriptor[8]), BitwiseCrc(&descriptor[16], 284));
  EXPECT_EQ(GetLe16(&descriptor[10]), 284);
  EXPECT_EQ(GetLe32(&descriptor[12]), 0x01020304u);
  EXPECT_EQ(descriptor[4], SumOfTag(descriptor.data()));

  // Bytes past the CRC length do not change the tag.
  std::vector<uint8_t> changedTail = descriptor;
  changedTail[16 + 284] ^= 0xFF;
  PutDescriptorTag(changedTail.data(), 261, 2, 7, 284, 0x01020304);
  EXPECT_TRUE(std::equal(descriptor.begin(), descriptor.begin() + 16, changedTail.begin()));

  // A changed body and location, refreshed, give a valid tag again.
  descriptor[100] ^= 0x5A;
  PutLe32(&descriptor[12], 50);
  RefreshDescriptorTag(descriptor.data());
  EXPECT_EQ(GetLe16(&descriptor[8]), BitwiseCrc(&descriptor[16], 284));
  EXPECT_EQ(descriptor[4], SumOfTag(descriptor.data()));
}

TEST(AnchorPointer, ParsesBackFieldByField) {
  for (uint32_t location : {256u, 2294911u}) {
    std::vector<uint8_t> sector(2048, 0);
    BuildAnchorPointer(sector.data(), location);
    EXPECT_EQ(GetLe16(&sector[0]), 2);    // tag identifier
    EXPECT_EQ(GetLe16(&sector[2]), 2);    // descriptor version
    EXPECT_EQ(sector[4], SumOfTag(sector.data()));
    EXPECT_EQ(sector[5], 0);
    EXPECT_EQ(GetLe16(&sector[6]), 0);    // serial
    EXPECT_EQ(GetLe16(&sector[10]), 496);
    EXPECT_EQ(GetLe16(&sector[8]), BitwiseCrc(&sector[16], 496));
    EXPECT_EQ(GetLe32(&sector[12]), location);
    EXPECT_EQ(GetLe32(&sector[16]), 32768u);  // main sequence extent
    EXPECT_EQ(GetLe32(&sector[20]), 32u);
    EXPECT_EQ(GetLe32(&sector[24]), 32768u);  // reserve sequence extent
    EXPECT_EQ(GetLe32(&sector[28]), 48u);
    for (size_t i = 32; i < sector.size(); ++i) ASSERT_EQ(sector[i], 0) << "byte " << i;
  }
}

}  // namespace
}  // namespace pravel
