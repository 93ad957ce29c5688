#include "udf/descriptor_tag.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "support/descriptor_checks.h"
#include "udf/anchor.h"

namespace pravel {
namespace {

using testing::BitwiseCrc;
using testing::TagIsValid;

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
  EXPECT_EQ(tag[4], static_cast<uint8_t>(15 * 0xF0 + (120 - 4)));
}

TEST(DescriptorTag, FillsEveryFieldAndCoversOnlyTheDeclaredLength) {
  std::vector<uint8_t> descriptor(2048, 0);
  for (size_t i = 16; i < 2048; ++i) descriptor[i] = static_cast<uint8_t>(i);
  PutDescriptorTag(descriptor.data(), 261, 2, 7, 284, 0x01020304);
  EXPECT_EQ(GetLe16(&descriptor[6]), 7);
  PutDescriptorTag(descriptor.data(), 261, 2, 0, 284, 0x01020304);
  EXPECT_TRUE(TagIsValid(descriptor.data(), 261, 0x01020304, 284));

  // Bytes past the CRC length do not change the tag.
  std::vector<uint8_t> changedTail = descriptor;
  changedTail[16 + 284] ^= 0xFF;
  PutDescriptorTag(changedTail.data(), 261, 2, 0, 284, 0x01020304);
  EXPECT_TRUE(std::equal(descriptor.begin(), descriptor.begin() + 16, changedTail.begin()));

  // A changed body and location, refreshed, give a valid tag again.
  descriptor[100] ^= 0x5A;
  PutLe32(&descriptor[12], 50);
  RefreshDescriptorTag(descriptor.data());
  EXPECT_TRUE(TagIsValid(descriptor.data(), 261, 50, 284));
}

TEST(AnchorPointer, ParsesBack) {
  for (uint32_t location : {256u, 2294911u}) {
    std::vector<uint8_t> sector(2048, 0);
    BuildAnchorPointer(sector.data(), location);
    EXPECT_TRUE(testing::AnchorIsValid(sector.data(), location)) << location;
  }
}

}  // namespace
}  // namespace pravel
