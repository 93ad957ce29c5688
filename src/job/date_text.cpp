#include "job/date_text.h"

namespace pravel {
namespace {

int DigitsAt(std::string_view text, size_t at, size_t count) {
  int value = 0;
  for (char c : text.substr(at, count)) value = value * 10 + (c - '0');
  return value;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<platform::LocalTime> ReadDateText(std::string_view text) {
  if (text.size() < kDateTextDigits) return std::nullopt;
  const std::string_view digits = text.substr(0, kDateTextDigits);
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  platform::LocalTime time;
  time.year = DigitsAt(digits, 0, 4);
  time.month = DigitsAt(digits, 4, 2);
  time.day = DigitsAt(digits, 6, 2);
  time.hour = DigitsAt(digits, 8, 2);
  time.minute = DigitsAt(digits, 10, 2);
  time.second = DigitsAt(digits, 12, 2);
  time.hundredths = DigitsAt(digits, 14, 2);
  if (time.year < 1 || time.month < 1 || time.month > 12) return std::nullopt;
  if (time.day < 1 || time.day > DaysInMonth(time.year, time.month)) return std::nullopt;
  if (time.hour > 23 || time.minute > 59 || time.second > 59) return std::nullopt;
  return time;
}

}  // namespace pravel
