#include "output/tape_text_fields.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace pravel {

void PutPaddedText(uint8_t* at, size_t width, std::string_view text) {
  std::memset(at, kFieldFill, width);
  std::memcpy(at, text.data(), std::min(width, text.size()));
}

bool PutZeroPaddedNumber(uint8_t* at, size_t width, uint64_t value) {
  const std::string digits = std::to_string(value);
  if (digits.size() > width) return false;
  std::memset(at, '0', width - digits.size());
  std::memcpy(at + width - digits.size(), digits.data(), digits.size());
  return true;
}

bool PutRightJustifiedNumber(uint8_t* at, size_t width, uint64_t value) {
  if (!PutZeroPaddedNumber(at, width, value)) return false;
  // Every leading zero becomes a space; the last digit stays, even a zero.
  for (size_t i = 0; i + 1 < width && at[i] == '0'; ++i) at[i] = kFieldFill;
  return true;
}

}  // namespace pravel
