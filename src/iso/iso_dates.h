// The zone of ISO 9660 dates: the local time with its offset from UTC in
// quarter hours, from -48 (12:00 west) to +52 (13:00 east).
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace pravel {

// The time itself when ISO 9660 can record its offset; otherwise (an offset
// outside the range or no whole number of quarter hours) the same instant
// in UTC.
platform::LocalTime InIsoZone(const platform::LocalTime& time);

// The offset byte of a time InIsoZone gives: quarter hours, signed.
uint8_t IsoZoneByte(const platform::LocalTime& time);

}  // namespace pravel
