// The 16-byte tag that opens every UDF descriptor: identifier, version,
// checksum, serial number, the CRC of the descriptor body and the location.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pravel {

// Offsets of the descriptor tag fields (all little-endian).
namespace tag_field {
inline constexpr size_t kIdentifier = 0;  // 2 bytes
inline constexpr size_t kVersion = 2;     // 2 bytes
inline constexpr size_t kChecksum = 4;    // 1 byte
inline constexpr size_t kReserved = 5;    // 1 byte
inline constexpr size_t kSerial = 6;      // 2 bytes
inline constexpr size_t kCrc = 8;         // 2 bytes
inline constexpr size_t kCrcLength = 10;  // 2 bytes
inline constexpr size_t kLocation = 12;   // 4 bytes
inline constexpr size_t kSize = 16;       // the body follows the tag
}  // namespace tag_field

inline constexpr uint16_t kDescriptorVersion = 2;

// CRC-CCITT (x^16 + x^12 + x^5 + 1), initial value 0, no reflection, no final
// inversion, table-driven.
uint16_t DescriptorCrc(const uint8_t* data, size_t length);

// Byte 4 of the tag: the sum modulo 256 of tag bytes 0-3 and 5-15.
uint8_t TagChecksum(const uint8_t* tag);
void SetTagChecksum(uint8_t* tag);

// Fills the tag of a descriptor whose body follows it: identifier, version,
// serial number, CRC over `crcLength` bytes from byte 16, CRC length,
// location; the checksum last. The body must be final before the call.
void PutDescriptorTag(uint8_t* descriptor, uint16_t identifier, uint16_t version, uint16_t serial,
                      uint16_t crcLength, uint32_t location);

// Recomputes the CRC (over the CRC length the tag declares) and then the
// checksum of a descriptor whose body or location has changed.
void RefreshDescriptorTag(uint8_t* descriptor);

}  // namespace pravel
