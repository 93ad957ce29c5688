// The field encodings shared by every UDF descriptor: entity identifiers,
// character set specifications, timestamps, OSTA CS0 strings, extents and
// short and long allocation descriptors.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace pravel {

inline constexpr size_t kEntityIdSize = 32;
inline constexpr size_t kCharspecSize = 64;
inline constexpr size_t kTimestampSize = 12;
inline constexpr size_t kExtentSize = 8;
inline constexpr size_t kShortAdSize = 8;
inline constexpr size_t kLongAdSize = 16;
inline constexpr uint32_t kLogicalBlockSize = 2048;

// The longest extent one allocation descriptor describes: the top two bits
// of its 32-bit length hold the extent type, and the length stays a whole
// number of blocks below 2^30.
inline constexpr uint32_t kMaxExtentBytes = 1073739776;

// The eight suffix bytes of an entity identifier.
using EntitySuffix = std::array<uint8_t, 8>;
// Operating-system class 1, identifier 0.
inline constexpr EntitySuffix kImplementationSuffix = {0x01, 0x00, 0, 0, 0, 0, 0, 0};
// UDF revision 1.02, hard and soft write protect.
inline constexpr EntitySuffix kDomainSuffix = {0x02, 0x01, 0x03, 0, 0, 0, 0, 0};
// The suffix of "*UDF LV Info".
inline constexpr EntitySuffix kLvInfoSuffix = {0x00, 0x01, 0x01, 0x00, 0, 0, 0, 0};
inline constexpr EntitySuffix kNoSuffix = {};

// Entity identifier: flags 0, the identifier field blank-filled, the text
// from byte 1 followed by one NUL, then the suffix.
void PutEntityId(uint8_t* at, std::string_view text, const EntitySuffix& suffix);
// The same with the byte 8 before the text (the identifiers of file entries,
// file identifiers and extended attributes).
void PutMarkedEntityId(uint8_t* at, std::string_view text, const EntitySuffix& suffix);

// Character set specification: CS0 (type 0) and "OSTA Compressed Unicode",
// zero-filled: the only form readers take as the character set of the
// volume's dstrings.
void PutCharspec(uint8_t* at);

// Timestamp: type 1 (local time) in the top four bits of Type and Timezone,
// the offset from UTC in minutes in the low twelve (two's complement), then
// the date and time of day down to the hundredths.
inline constexpr uint16_t kTimestampLocalTime = 0x1000;
inline constexpr uint16_t kTimestampZoneBits = 0x0FFF;
void PutTimestamp(uint8_t* at, const platform::LocalTime& time);

// A name in OSTA CS0: the compression byte (8 when every character is at
// most U+00FF, else 16 with each character big-endian), then the characters.
// An empty name gives no bytes at all.
std::vector<uint8_t> EncodeCs0(std::u16string_view text);
// Characters of an 8-bit text as UCS-2 (each byte one character).
std::u16string Latin1ToUcs2(std::string_view text);

// A dstring field of `size` bytes: the CS0 bytes, zeros, and in the last byte
// the number of bytes used; all zero for an empty text. Characters that do
// not fit are left off; returns how many characters were written.
size_t PutDstring(uint8_t* at, size_t size, std::u16string_view text);

// Extent descriptor: length, then location.
void PutExtent(uint8_t* at, uint32_t length, uint32_t location);

// Short allocation descriptor: 32-bit length (extent type 0, recorded and
// allocated), then the 32-bit block position.
struct ShortAd {
  uint32_t length = 0;
  uint32_t position = 0;
  bool operator==(const ShortAd&) const = default;
};
void PutShortAd(uint8_t* at, const ShortAd& ad);

// Long allocation descriptor: length, block, partition reference, and six
// bytes of implementation use left zero.
void PutLongAd(uint8_t* at, uint32_t length, uint32_t block, uint16_t partition);

// The allocation descriptors of `length` bytes starting at block `position`:
// extents of kMaxExtentBytes at consecutive positions, the last one holding
// the rest. A length of 0 gives one descriptor of length 0.
std::vector<ShortAd> SplitIntoExtents(uint64_t length, uint32_t position);

}  // namespace pravel
