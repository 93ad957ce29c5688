#include "udf/descriptor_tag.h"

#include <array>

#include "iso/byte_fields.h"

namespace pravel {
namespace {

constexpr uint16_t kCrcPolynomial = 0x1021;

using CrcTable = std::array<uint16_t, 256>;

// kCrcTables[0][b] is the CRC of the byte b; kCrcTables[k][b] the CRC of b
// followed by k zero bytes. A descriptor is taken eight bytes at a time: the
// CRC register stands for the next two bytes of the data, and the CRC of
// eight bytes is the sum of each byte's CRC with the zeros that follow it.
constexpr std::array<CrcTable, 8> MakeCrcTables() {
  std::array<CrcTable, 8> tables{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    unsigned crc = byte << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? (crc << 1) ^ kCrcPolynomial : crc << 1;
    tables[0][byte] = static_cast<uint16_t>(crc);
  }
  for (size_t k = 1; k < tables.size(); ++k) {
    for (unsigned byte = 0; byte < 256; ++byte) {
      const uint16_t previous = tables[k - 1][byte];
      tables[k][byte] = static_cast<uint16_t>(tables[0][previous >> 8] ^ (previous << 8));
    }
  }
  return tables;
}

constexpr std::array<CrcTable, 8> kCrcTables = MakeCrcTables();

}  // namespace

uint16_t DescriptorCrc(const uint8_t* data, size_t length) {
  const auto& t = kCrcTables;
  uint16_t crc = 0;
  size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    const uint8_t* d = data + i;
    crc = static_cast<uint16_t>(t[7][d[0] ^ (crc >> 8)] ^ t[6][d[1] ^ (crc & 0xFF)] ^ t[5][d[2]] ^ t[4][d[3]] ^
                                t[3][d[4]] ^ t[2][d[5]] ^ t[1][d[6]] ^ t[0][d[7]]);
  }
  for (; i < length; ++i) crc = static_cast<uint16_t>(t[0][((crc >> 8) ^ data[i]) & 0xFF] ^ (crc << 8));
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
