// The local clock and the processor tick count, both replaceable in tests.
#pragma once

#include <cstdint>
#include <optional>

namespace pravel::platform {

struct LocalTime {
  int year = 1970;
  int month = 1;   // 1..12
  int day = 1;     // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int hundredths = 0;
  // Local time minus UTC, in minutes: positive east of Greenwich.
  int utcOffsetMinutes = 0;
  bool operator==(const LocalTime&) const = default;
};

// The same instant in UTC (offset 0).
LocalTime ToUtc(const LocalTime& time);

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
  // The offset from UTC, in minutes, that the clock's zone has at a date and
  // time of day read on it (the offset field of `wallClock` is not read): a
  // date given by the operator is recorded with the offset it had then. A
  // clock that tells no zone keeps UTC.
  virtual int UtcOffsetAt(const LocalTime& /*wallClock*/) { return 0; }
  // Milliseconds since some fixed start, as the platform's tick count. Fixed
  // with SOURCE_DATE_EPOCH, since identifiers on the disc are made from it.
  virtual uint32_t TickCount() = 0;
  // Milliseconds of a steady clock, for measuring progress; never fixed, so
  // rates and times left stay true in reproducible builds.
  virtual uint64_t ElapsedMilliseconds() = 0;
  // Waits this long (the steady clock moves on by as much). A clock that
  // only tells the time does not wait.
  virtual void Sleep(uint64_t /*milliseconds*/) {}
};

// The machine's clock in the zone the environment names (TZ). When
// SOURCE_DATE_EPOCH is set it reads that instant as UTC, with hundredths 0
// and a tick count derived from it, and every offset is 0, so that builds of
// the same tree on the same date give the same bytes wherever they run.
class SystemClock final : public Clock {
 public:
  LocalTime Now() override;
  int UtcOffsetAt(const LocalTime& wallClock) override;
  uint32_t TickCount() override;
  uint64_t ElapsedMilliseconds() override;
  void Sleep(uint64_t milliseconds) override;
};

// A clock that always tells the same time (tests); its zone keeps the offset
// of that time all year.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(LocalTime time, uint32_t ticks = 0) : time_(time), ticks_(ticks) {}
  LocalTime Now() override { return time_; }
  int UtcOffsetAt(const LocalTime&) override { return time_.utcOffsetMinutes; }
  uint32_t TickCount() override { return ticks_; }
  uint64_t ElapsedMilliseconds() override { return elapsed_; }
  void Sleep(uint64_t milliseconds) override { elapsed_ += milliseconds; }
  void Set(LocalTime time) { time_ = time; }
  void Advance(uint64_t milliseconds) { elapsed_ += milliseconds; }

 private:
  LocalTime time_;
  uint32_t ticks_;
  uint64_t elapsed_ = 0;
};

// SOURCE_DATE_EPOCH as seconds since 1970, when it is set and valid.
std::optional<int64_t> SourceDateEpoch();

}  // namespace pravel::platform
