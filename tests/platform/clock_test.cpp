#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace pravel::platform {
namespace {

// Sets an environment variable (or unsets it) for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    Apply(value);
  }
  ~ScopedEnv() { Apply(previous_ ? previous_->c_str() : nullptr); }

 private:
  void Apply(const char* value) {
    if (value) {
      setenv(name_, value, 1);
    } else {
      unsetenv(name_);
    }
    tzset();
  }
  const char* name_;
  std::optional<std::string> previous_;
};

// The wall-clock times are those of the zone at that date: New York keeps
// -5:00 in winter and -4:00 in summer, Kolkata +5:30 all year.
TEST(SystemClock, OffsetsFollowTheZoneAndItsSummerTime) {
  ScopedEnv noEpoch("SOURCE_DATE_EPOCH", nullptr);
  SystemClock clock;
  {
    ScopedEnv zone("TZ", "America/New_York");
    EXPECT_EQ(clock.UtcOffsetAt({2025, 1, 15, 12, 0, 0}), -300);
    EXPECT_EQ(clock.UtcOffsetAt({2025, 7, 15, 12, 0, 0}), -240);
    const int now = clock.Now().utcOffsetMinutes;
    EXPECT_TRUE(now == -300 || now == -240) << now;
  }
  ScopedEnv zone("TZ", "Asia/Kolkata");
  EXPECT_EQ(clock.UtcOffsetAt({2025, 1, 15, 12, 0, 0}), 330);
  EXPECT_EQ(clock.Now().utcOffsetMinutes, 330);
}

TEST(SystemClock, SourceDateEpochIsUtcWhateverTheZone) {
  ScopedEnv epoch("SOURCE_DATE_EPOCH", "1767225600");  // 2026-01-01 00:00:00 UTC
  ScopedEnv zone("TZ", "Asia/Kolkata");
  SystemClock clock;
  EXPECT_EQ(clock.Now(), (LocalTime{2026, 1, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(clock.UtcOffsetAt({2025, 7, 15, 12, 0, 0}), 0);
}

TEST(ToUtc, MovesTheInstantAcrossDaysMonthsAndYears) {
  struct Case {
    LocalTime local, utc;
  };
  for (const Case& c : {Case{{2026, 3, 4, 5, 6, 7, 8, 330}, {2026, 3, 3, 23, 36, 7, 8, 0}},
                        Case{{2025, 12, 31, 22, 0, 0, 0, -300}, {2026, 1, 1, 3, 0, 0, 0, 0}},
                        Case{{2024, 3, 1, 0, 30, 59, 99, 60}, {2024, 2, 29, 23, 30, 59, 99, 0}}}) {
    EXPECT_EQ(ToUtc(c.local), c.utc) << c.local.utcOffsetMinutes;
  }
}

}  // namespace
}  // namespace pravel::platform
