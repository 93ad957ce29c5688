#include "iso/iso_dates.h"

namespace pravel {
namespace {

constexpr int kMinutesPerUnit = 15;
constexpr int kWestmostUnits = -48;
constexpr int kEastmostUnits = 52;

bool IsRecordable(int offsetMinutes) {
  const int units = offsetMinutes / kMinutesPerUnit;
  return offsetMinutes % kMinutesPerUnit == 0 && units >= kWestmostUnits && units <= kEastmostUnits;
}

}  // namespace

platform::LocalTime InIsoZone(const platform::LocalTime& time) {
  return IsRecordable(time.utcOffsetMinutes) ? time : platform::ToUtc(time);
}

uint8_t IsoZoneByte(const platform::LocalTime& time) {
  return static_cast<uint8_t>(static_cast<int8_t>(time.utcOffsetMinutes / kMinutesPerUnit));
}

}  // namespace pravel
