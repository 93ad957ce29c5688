#include "udf/udf_fields.h"

#include <algorithm>
#include <cstring>

#include "iso/byte_fields.h"

namespace pravel {
namespace {

constexpr size_t kEntityIdentifier = 1;
constexpr size_t kEntityIdentifierSize = 23;
constexpr size_t kEntitySuffix = 24;
constexpr uint8_t kCharsetType = 0;  // CS0
constexpr std::string_view kCharsetText = "OSTA Compressed Unicode";
constexpr uint8_t kCompression8 = 8;
constexpr uint8_t kCompression16 = 16;

void PutEntityIdFrom(uint8_t* at, size_t textStart, std::string_view text, const EntitySuffix& suffix) {
  at[0] = 0;
  std::memset(at + kEntityIdentifier, ' ', kEntityIdentifierSize);
  const size_t room = kEntityIdentifier + kEntityIdentifierSize - textStart - 1;
  text = text.substr(0, std::min(text.size(), room));
  PutText(at + textStart, text);
  at[textStart + text.size()] = 0;
  std::copy(suffix.begin(), suffix.end(), at + kEntitySuffix);
}

}  // namespace

void PutEntityId(uint8_t* at, std::string_view text, const EntitySuffix& suffix) {
  PutEntityIdFrom(at, kEntityIdentifier, text, suffix);
}

void PutMarkedEntityId(uint8_t* at, std::string_view text, const EntitySuffix& suffix) {
  PutEntityIdFrom(at, kEntityIdentifier + 1, text, suffix);
  at[kEntityIdentifier] = kCompression8;
}

void PutCharspec(uint8_t* at) {
  std::memset(at, 0, kCharspecSize);
  at[0] = kCharsetType;
  PutText(at + 1, kCharsetText);
}

void PutTimestamp(uint8_t* at, const platform::LocalTime& time) {
  const auto zone = static_cast<uint16_t>(time.utcOffsetMinutes) & kTimestampZoneBits;
  PutLe16(at, static_cast<uint16_t>(kTimestampLocalTime | zone));
  PutLe16(at + 2, static_cast<uint16_t>(time.year));
  at[4] = static_cast<uint8_t>(time.month);
  at[5] = static_cast<uint8_t>(time.day);
  at[6] = static_cast<uint8_t>(time.hour);
  at[7] = static_cast<uint8_t>(time.minute);
  at[8] = static_cast<uint8_t>(time.second);
  at[9] = static_cast<uint8_t>(time.hundredths);
  at[10] = 0;
  at[11] = 0;
}

std::vector<uint8_t> EncodeCs0(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  if (text.empty()) return bytes;
  const bool wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
  bytes.reserve(1 + text.size() * (wide ? 2 : 1));
  bytes.push_back(wide ? kCompression16 : kCompression8);
  for (char16_t c : text) {
    if (wide) bytes.push_back(static_cast<uint8_t>(c >> 8));
    bytes.push_back(static_cast<uint8_t>(c));
  }
  return bytes;
}

std::u16string Latin1ToUcs2(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return out;
}

size_t PutDstring(uint8_t* at, size_t size, std::u16string_view text) {
  std::memset(at, 0, size);
  if (text.empty() || size < 2) return 0;
  std::vector<uint8_t> bytes = EncodeCs0(text);
  const size_t width = bytes[0] == kCompression16 ? 2 : 1;
  const size_t characters = std::min(text.size(), (size - 2) / width);
  const size_t used = 1 + characters * width;
  std::copy(bytes.begin(), bytes.begin() + static_cast<long>(used), at);
  at[size - 1] = static_cast<uint8_t>(used);
  return characters;
}

void PutExtent(uint8_t* at, uint32_t length, uint32_t location) {
  PutLe32(at, length);
  PutLe32(at + 4, location);
}

void PutShortAd(uint8_t* at, const ShortAd& ad) {
  PutLe32(at, ad.length);
  PutLe32(at + 4, ad.position);
}

void PutLongAd(uint8_t* at, uint32_t length, uint32_t block, uint16_t partition) {
  PutLe32(at, length);
  PutLe32(at + 4, block);
  PutLe16(at + 8, partition);
  std::memset(at + 10, 0, 6);
}

std::vector<ShortAd> SplitIntoExtents(uint64_t length, uint32_t position) {
  std::vector<ShortAd> extents;
  constexpr uint32_t kBlocksPerExtent = kMaxExtentBytes / kLogicalBlockSize;
  do {
    const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(length, kMaxExtentBytes));
    extents.push_back({piece, position});
    length -= piece;
    position += kBlocksPerExtent;
  } while (length > 0);
  return extents;
}

}  // namespace pravel
