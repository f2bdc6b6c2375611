// The clock and the reservation: which seconds a clock tick checks, and whether a
// second matches the reserved time of day.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tapwell::ui {

// A local date and time of day.
struct LocalDateTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int msec = 0;
};

// The wall clock, in local time.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime now() const = 0;
};

// Seconds counted on the local calendar: the days since 1970-01-01 times 86400
// plus the second of the day. A local time that occurs twice (a clock set back)
// has one number.
std::int64_t LocalSecond(const LocalDateTime& t);

// "H:mm:ss": 24-hour clock, no leading zero on the hour.
std::string ClockText(const LocalDateTime& t);

// Milliseconds from t to a few milliseconds after the next second boundary.
int MsToNextTick(const LocalDateTime& t);

// The reserved time of day; a list without a selection holds nothing.
struct ReservedTime {
  std::optional<int> hour;
  std::optional<int> minute;
  std::optional<int> second;

  bool matches(std::int64_t localSecond) const;
};

// Which seconds each tick checks: every second after the last one checked, up to
// the current one, but at most the last kCatchUp of them. A second at or before
// the last one checked is never checked again, so each date and time is checked
// at most once even when the clock goes backwards.
class ReservationWindow {
 public:
  static constexpr std::int64_t kCatchUp = 5;

  std::vector<std::int64_t> secondsToCheck(const LocalDateTime& now);

 private:
  std::optional<std::int64_t> last_;
};

}  // namespace tapwell::ui
