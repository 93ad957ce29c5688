// The Anchor Volume Descriptor Pointer: written at sector 256 and again as
// the closing sector of a volume.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pravel {

inline constexpr uint32_t kAnchorSector = 256;
inline constexpr uint16_t kAnchorTagIdentifier = 2;
inline constexpr uint16_t kAnchorCrcLength = 496;
inline constexpr uint32_t kMainSequenceSector = 32;
inline constexpr uint32_t kReserveSequenceSector = 48;
inline constexpr uint32_t kSequenceExtentBytes = 32768;

// Offsets of the anchor's body fields (little-endian extent descriptors:
// length, then location).
namespace anchor_field {
inline constexpr size_t kMainExtentLength = 16;
inline constexpr size_t kMainExtentLocation = 20;
inline constexpr size_t kReserveExtentLength = 24;
inline constexpr size_t kReserveExtentLocation = 28;
}  // namespace anchor_field

// Fills a zeroed 2048-byte sector with an anchor pointer whose tag location
// is `location`: tag 2, version 2, serial 0, CRC over 496 bytes; main volume
// descriptor sequence 32768 bytes at sector 32, reserve 32768 bytes at 48.
void BuildAnchorPointer(uint8_t* sector, uint32_t location);

}  // namespace pravel
