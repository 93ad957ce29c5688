// Serializers for the numeric fields of on-disc structures: little-endian,
// big-endian and the both-byte-order form (little-endian, then big-endian).
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace pravel {

inline void PutU8(uint8_t* at, uint8_t value) { at[0] = value; }

inline void PutLe16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

inline void PutBe16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value);
}

inline void PutLe32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void PutBe32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * (3 - i)));
}

inline void PutLe64(uint8_t* at, uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Both byte orders: 2 bytes little-endian, then 2 bytes big-endian.
inline void PutBoth16(uint8_t* at, uint16_t value) {
  PutLe16(at, value);
  PutBe16(at + 2, value);
}

// Both byte orders: 4 bytes little-endian, then 4 bytes big-endian.
inline void PutBoth32(uint8_t* at, uint32_t value) {
  PutLe32(at, value);
  PutBe32(at + 4, value);
}

inline void PutText(uint8_t* at, std::string_view text) { std::memcpy(at, text.data(), text.size()); }

inline uint16_t GetLe16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }
inline uint16_t GetBe16(const uint8_t* at) { return static_cast<uint16_t>((at[0] << 8) | at[1]); }

inline uint32_t GetLe32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
         (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

inline uint32_t GetBe32(const uint8_t* at) {
  return (static_cast<uint32_t>(at[0]) << 24) | (static_cast<uint32_t>(at[1]) << 16) |
         (static_cast<uint32_t>(at[2]) << 8) | static_cast<uint32_t>(at[3]);
}

inline uint64_t GetLe64(const uint8_t* at) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}

}  // namespace pravel
