#include "ui/reservation.h"

#include <algorithm>
#include <cstdio>

namespace tapwell::ui {

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

constexpr std::int64_t kDay = 86400;

}  // namespace

std::int64_t LocalSecond(const LocalDateTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * kDay + t.hour * 3600 + t.minute * 60 + t.second;
}

std::string ClockText(const LocalDateTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

int MsToNextTick(const LocalDateTime& t) {
  constexpr int kAfterBoundary = 5;
  return 1000 - std::clamp(t.msec, 0, 999) + kAfterBoundary;
}

bool ReservedTime::matches(std::int64_t localSecond) const {
  if (!hour || !minute || !second)
    return false;
  const std::int64_t ofDay = ((localSecond % kDay) + kDay) % kDay;
  return ofDay == *hour * 3600 + *minute * 60 + *second;
}

std::vector<std::int64_t> ReservationWindow::secondsToCheck(const LocalDateTime& now) {
  const std::int64_t current = LocalSecond(now);
  std::vector<std::int64_t> seconds;
  if (last_ && current <= *last_)
    return seconds;
  std::int64_t first = last_ ? *last_ + 1 : current;
  first = std::max(first, current - kCatchUp + 1);
  for (std::int64_t s = first; s <= current; ++s) seconds.push_back(s);
  last_ = current;
  return seconds;
}

}  // namespace tapwell::ui
