// The 7-byte recording date of directory records: the local time and its
// offset from UTC in quarter hours, a signed byte from -48 to +52
// (ECMA-119 9.1.5); a time whose offset has no such form is recorded as UTC.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "iso/directory_records.h"

namespace pravel {
namespace {

TEST(RecordingDate, LocalTimeWithItsOffsetInQuarterHours) {
  using Bytes = std::array<uint8_t, 7>;
  struct Case {
    platform::LocalTime time;
    Bytes written;
  };
  const Case cases[] = {
      {{2026, 3, 4, 5, 6, 7, 8, 0}, {126, 3, 4, 5, 6, 7, 0}},
      {{2026, 3, 4, 5, 6, 7, 8, 330}, {126, 3, 4, 5, 6, 7, 22}},     // +5:30
      {{2026, 3, 4, 5, 6, 7, 8, -300}, {126, 3, 4, 5, 6, 7, 0xEC}},  // -5:00, -20
      {{2026, 3, 4, 5, 6, 7, 8, -720}, {126, 3, 4, 5, 6, 7, 0xD0}},  // -12:00, -48
      {{2026, 3, 4, 5, 6, 7, 8, 780}, {126, 3, 4, 5, 6, 7, 52}},     // +13:00
      // +14:00 and +13:45 lie beyond +52, -4:56 is no whole number of
      // quarter hours: the same instant in UTC.
      {{2026, 1, 1, 5, 6, 7, 8, 840}, {125, 12, 31, 15, 6, 7, 0}},
      {{2026, 3, 4, 5, 6, 7, 8, 825}, {126, 3, 3, 15, 21, 7, 0}},
      {{2026, 12, 31, 20, 0, 7, 8, -296}, {127, 1, 1, 0, 56, 7, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time.utcOffsetMinutes);
    Bytes field;
    field.fill(0xEE);
    PutRecordingDate(field.data(), c.time, true);
    EXPECT_EQ(field, c.written);
  }
  Bytes withoutSecond;
  PutRecordingDate(withoutSecond.data(), cases[2].time, false);
  EXPECT_EQ(withoutSecond, (Bytes{126, 3, 4, 5, 6, 0, 0xEC}));
}

}  // namespace
}  // namespace pravel
