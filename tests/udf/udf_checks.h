// Checks shared by the UDF tests: a descriptor tag verified independently of
// the code that wrote it, and readers of the little-endian fields.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "iso/byte_fields.h"

namespace pravel::udf_checks {

inline uint16_t BitwiseCrc(const uint8_t* data, size_t length) {
  uint16_t crc = 0;
  for (size_t i = 0; i < length; ++i) {
    crc ^= static_cast<uint16_t>(data[i] << 8);
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

// Identifier, version 2, serial 0, the CRC over the declared length, the
// checksum over bytes 0-3 and 5-15, and the location.
inline ::testing::AssertionResult TagIsValid(const uint8_t* d, uint16_t identifier, uint32_t location,
                                             uint16_t crcLength) {
  unsigned sum = 0;
  for (int i = 0; i < 16; ++i)
    if (i != 4) sum += d[i];
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

inline std::string Text(const uint8_t* at, size_t size) { return std::string(reinterpret_cast<const char*>(at), size); }

// An entity identifier's 32 bytes as written: flags, 23 identifier bytes,
// eight suffix bytes.
inline std::string EntityId(uint8_t flags, const std::string& identifier, const std::string& suffix) {
  std::string field(1, static_cast<char>(flags));
  field += identifier;
  field.resize(24, ' ');
  std::string tail = suffix;
  tail.resize(8, '\0');
  return field + tail;
}

}  // namespace pravel::udf_checks
