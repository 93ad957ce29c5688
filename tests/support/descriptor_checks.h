// Checks of on-disc bytes shared by the image tests: descriptor tags and the
// anchor verified independently of the code that wrote them, and tables of
// fields (offset, width, value) checked in one go.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "iso/byte_fields.h"

namespace pravel::testing {

// CRC-CCITT (polynomial 0x1021, initial 0) bit by bit, without a table.
inline uint16_t BitwiseCrc(const uint8_t* data, size_t length) {
  uint16_t crc = 0;
  for (size_t i = 0; i < length; ++i) {
    crc ^= static_cast<uint16_t>(data[i] << 8);
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

inline std::string Text(const uint8_t* at, size_t size) { return std::string(reinterpret_cast<const char*>(at), size); }
inline const uint8_t* BytesOf(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

// Identifier, version 2, serial 0, the CRC over the declared length, the
// checksum over bytes 0-3 and 5-15, and the location.
inline ::testing::AssertionResult TagIsValid(const uint8_t* d, uint16_t identifier, uint32_t location,
                                             uint16_t crcLength) {
  unsigned sum = 0;
  for (int i = 0; i < 16; ++i) sum += i == 4 ? 0 : d[i];
  std::string faults;
  if (GetLe16(d) != identifier) faults += " identifier " + std::to_string(GetLe16(d));
  if (GetLe16(d + 2) != 2) faults += " version";
  if (d[4] != static_cast<uint8_t>(sum)) faults += " checksum";
  if (d[5] != 0 || GetLe16(d + 6) != 0) faults += " reserved/serial";
  if (GetLe16(d + 10) != crcLength) faults += " crc length " + std::to_string(GetLe16(d + 10));
  if (GetLe16(d + 8) != BitwiseCrc(d + 16, GetLe16(d + 10))) faults += " crc";
  if (GetLe32(d + 12) != location) faults += " location " + std::to_string(GetLe32(d + 12));
  if (faults.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "tag" << faults;
}

// A field of a sector: a little-endian number of 1, 2, 4 or 8 bytes, or bytes
// that must stand there exactly.
struct Field {
  Field(size_t at, int size, uint64_t number) : offset(at), width(size), value(number) {}
  Field(size_t at, std::string text) : offset(at), bytes(std::move(text)) {}
  size_t offset;
  int width = 0;
  uint64_t value = 0;
  std::string bytes;
};

// A number's bytes, big-endian.
inline std::string BeBytes(uint64_t value, int width) {
  std::string bytes;
  for (int i = width - 1; i >= 0; --i) bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}
// A both-byte-order field: little-endian, then big-endian.
inline Field BothOrders(size_t offset, int width, uint64_t value) {
  const std::string be = BeBytes(value, width);
  return Field(offset, std::string(be.rbegin(), be.rend()) + be);
}
// Zeros from `offset` to the end of the 2048-byte sector.
inline Field ZerosFrom(size_t offset) { return Field(offset, std::string(2048 - offset, '\0')); }

inline void ExpectFields(const uint8_t* d, std::initializer_list<Field> fields) {
  for (const Field& f : fields) {
    uint64_t value = 0;
    for (int i = f.width - 1; i >= 0; --i) value = value << 8 | d[f.offset + i];
    if (f.width == 0) {
      EXPECT_EQ(Text(d + f.offset, f.bytes.size()), f.bytes) << "bytes at " << f.offset;
    } else {
      EXPECT_EQ(value, f.value) << "field at " << f.offset;
    }
  }
}

// An anchor volume descriptor pointer: main sequence at 32, reserve at 48,
// 16 sectors each, zero behind them.
inline ::testing::AssertionResult AnchorIsValid(const uint8_t* d, uint32_t location) {
  ::testing::AssertionResult tag = TagIsValid(d, 2, location, 496);
  if (!tag) return tag;
  if (GetLe32(d + 16) != 32768 || GetLe32(d + 20) != 32 || GetLe32(d + 24) != 32768 || GetLe32(d + 28) != 48)
    return ::testing::AssertionFailure() << "anchor extents";
  if (Text(d + 32, 2048 - 32) != std::string(2048 - 32, '\0')) return ::testing::AssertionFailure() << "anchor tail";
  return ::testing::AssertionSuccess();
}

// An entity identifier's 32 bytes as written: flags, 23 identifier bytes,
// eight suffix bytes.
inline std::string EntityId(uint8_t flags, const std::string& identifier, const std::string& suffix) {
  std::string field = (static_cast<char>(flags) + identifier).substr(0, 24);
  field.resize(24, ' ');
  return field + (suffix + std::string(8, '\0')).substr(0, 8);
}

}  // namespace pravel::testing
