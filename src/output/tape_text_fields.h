// ASCII fields of the tape records: a record is filled with spaces, then each
// field is written at its offset. Numbers are decimal text of a fixed width;
// a number too wide for its field is refused, never cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pravel {

inline constexpr uint8_t kFieldFill = ' ';

// `text` left-justified in `width` bytes, cut to the width, spaces behind.
void PutPaddedText(uint8_t* at, size_t width, std::string_view text);
// `value` with leading zeros ("000042"); false when it needs more digits.
bool PutZeroPaddedNumber(uint8_t* at, size_t width, uint64_t value);
// `value` right-justified with spaces on the left ("      16"); false when
// it needs more digits.
bool PutRightJustifiedNumber(uint8_t* at, size_t width, uint64_t value);

}  // namespace pravel
