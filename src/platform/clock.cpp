#include "platform/clock.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

namespace pravel::platform {

namespace {

// 2155-12-30 00:00:00 UTC: the last build date every date field of a volume
// can hold in any zone (a directory record counts its years from 1900 in
// one byte). A later one is no build date this program can record.
constexpr long long kLatestSourceDate = 5869411200;

}  // namespace

std::optional<int64_t> SourceDateEpoch() {
  const char* text = std::getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr || *text == '\0') return std::nullopt;
  char* end = nullptr;
  long long seconds = std::strtoll(text, &end, 10);
  if (*end != '\0' || seconds < 0 || seconds > kLatestSourceDate) return std::nullopt;
  return static_cast<int64_t>(seconds);
}

LocalTime ToUtc(const LocalTime& time) {
  using namespace std::chrono;
  const sys_days day{year{time.year} / month{static_cast<unsigned>(time.month)} / static_cast<unsigned>(time.day)};
  const sys_seconds instant = day + hours{time.hour} + minutes{time.minute - time.utcOffsetMinutes} +
                              seconds{time.second};
  const sys_days utcDay = floor<days>(instant);
  const year_month_day date{utcDay};
  const hh_mm_ss<seconds> clock{instant - utcDay};
  LocalTime utc;
  utc.year = static_cast<int>(date.year());
  utc.month = static_cast<int>(static_cast<unsigned>(date.month()));
  utc.day = static_cast<int>(static_cast<unsigned>(date.day()));
  utc.hour = static_cast<int>(clock.hours().count());
  utc.minute = static_cast<int>(clock.minutes().count());
  utc.second = static_cast<int>(clock.seconds().count());
  utc.hundredths = time.hundredths;
  return utc;
}

static LocalTime FromTm(const std::tm& tm, int hundredths) {
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.hundredths = hundredths;
  t.utcOffsetMinutes = static_cast<int>(tm.tm_gmtoff / 60);
  return t;
}

LocalTime SystemClock::Now() {
  std::tm tm{};
  if (auto epoch = SourceDateEpoch()) {
    std::time_t seconds = static_cast<std::time_t>(*epoch);
    gmtime_r(&seconds, &tm);
    return FromTm(tm, 0);
  }
  auto now = std::chrono::system_clock::now();
  auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  std::time_t seconds = static_cast<std::time_t>(millis / 1000);
  localtime_r(&seconds, &tm);
  return FromTm(tm, static_cast<int>((millis % 1000) / 10));
}

int SystemClock::UtcOffsetAt(const LocalTime& wallClock) {
  if (SourceDateEpoch()) return 0;
  std::tm tm{};
  tm.tm_year = wallClock.year - 1900;
  tm.tm_mon = wallClock.month - 1;
  tm.tm_mday = wallClock.day;
  tm.tm_hour = wallClock.hour;
  tm.tm_min = wallClock.minute;
  tm.tm_sec = wallClock.second;
  tm.tm_isdst = -1;  // whether summer time was in force then is the zone's to say
  if (mktime(&tm) == static_cast<std::time_t>(-1)) return Now().utcOffsetMinutes;
  return static_cast<int>(tm.tm_gmtoff / 60);
}

uint32_t SystemClock::TickCount() {
  if (auto epoch = SourceDateEpoch()) return static_cast<uint32_t>(*epoch * 1000);
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

uint64_t SystemClock::ElapsedMilliseconds() {
  auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void SystemClock::Sleep(uint64_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace pravel::platform
