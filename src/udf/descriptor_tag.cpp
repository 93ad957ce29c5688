#include "udf/descriptor_tag.h"

#include <array>

#include "iso/byte_fields.h"

namespace pravel {
namespace {

constexpr uint16_t kCrcPolynomial = 0x1021;

constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    unsigned crc = byte << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? (crc << 1) ^ kCrcPolynomial : crc << 1;
    table[byte] = static_cast<uint16_t>(crc);
  }
  return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

uint16_t DescriptorCrc(const uint8_t* data, size_t length) {
  uint16_t crc = 0;
  for (size_t i = 0; i < length; ++i)
    crc = static_cast<uint16_t>(kCrcTable[((crc >> 8) ^ data[i]) & 0xFF] ^ (crc << 8));
  return crc;
}

uint8_t TagChecksum(const uint8_t* tag) {
  unsigned sum = 0;
  for (size_t i = 0; i < tag_field::kSize; ++i)
    if (i != tag_field::kChecksum) sum += tag[i];
  return static_cast<uint8_t>(sum);
}

void SetTagChecksum(uint8_t* tag) { tag[tag_field::kChecksum] = TagChecksum(tag); }

void PutDescriptorTag(uint8_t* descriptor, uint16_t identifier, uint16_t version, uint16_t serial,
                      uint16_t crcLength, uint32_t location) {
  PutLe16(descriptor + tag_field::kIdentifier, identifier);
  PutLe16(descriptor + tag_field::kVersion, version);
  descriptor[tag_field::kReserved] = 0;
  PutLe16(descriptor + tag_field::kSerial, serial);
  PutLe16(descriptor + tag_field::kCrcLength, crcLength);
  PutLe32(descriptor + tag_field::kLocation, location);
  RefreshDescriptorTag(descriptor);
}

void RefreshDescriptorTag(uint8_t* descriptor) {
  const uint16_t crcLength = GetLe16(descriptor + tag_field::kCrcLength);
  PutLe16(descriptor + tag_field::kCrc, DescriptorCrc(descriptor + tag_field::kSize, crcLength));
  descriptor[tag_field::kChecksum] = 0;
  SetTagChecksum(descriptor);
}

}  // namespace pravel
