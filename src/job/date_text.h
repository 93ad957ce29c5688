// The sixteen digits YYYYMMDDhhmmsscc of a date the operator gives (format
// descriptors, the Disc Identification dialog).
#pragma once

#include <optional>
#include <string_view>

#include "platform/clock.h"

namespace pravel {

inline constexpr size_t kDateTextDigits = 16;

// The date and time the first sixteen characters name: digits, a year from
// 1 on, a day that its month has, hours, minutes and seconds in range.
// nullopt for anything else, or a shorter text.
std::optional<platform::LocalTime> ReadDateText(std::string_view text);

}  // namespace pravel
