// Which seconds the clock checks, and the reserved time.
#include <gtest/gtest.h>

#include "ui/reservation.h"

namespace tapwell::ui {
namespace {

LocalDateTime At(int h, int m, int s, int ms = 0, int day = 7) {
  return {2026, 12, day, h, m, s, ms};
}

std::int64_t Sec(int h, int m, int s, int day = 7) {
  return LocalSecond(At(h, m, s, 0, day));
}

TEST(ClockText, TwentyFourHoursWithoutLeadingZeroOnTheHour) {
  EXPECT_EQ(ClockText(At(9, 5, 7)), "9:05:07");
  EXPECT_EQ(ClockText(At(0, 0, 0)), "0:00:00");
  EXPECT_EQ(ClockText(At(23, 59, 59)), "23:59:59");
  EXPECT_EQ(ClockText(At(13, 0, 9)), "13:00:09");
}

TEST(MsToNextTick, LandsJustAfterTheNextSecondBoundary) {
  EXPECT_EQ(MsToNextTick(At(1, 2, 3, 0)), 1005);
  EXPECT_EQ(MsToNextTick(At(1, 2, 3, 995)), 10);
  EXPECT_EQ(MsToNextTick(At(1, 2, 3, 999)), 6);
}

TEST(LocalSecond, CountsAcrossMonthsYearsAndLeapDays) {
  EXPECT_EQ(LocalSecond({1970, 1, 1, 0, 0, 0, 0}), 0);
  EXPECT_EQ(LocalSecond({2024, 3, 1, 0, 0, 0, 0}) - LocalSecond({2024, 2, 28, 0, 0, 0, 0}), 2 * 86400);
  EXPECT_EQ(LocalSecond({2027, 1, 1, 0, 0, 0, 0}) - LocalSecond({2026, 12, 31, 23, 59, 59, 0}), 1);
}

TEST(ReservedTime, MatchesTheTimeOfDayOnEveryDay) {
  const ReservedTime r{9, 5, 7};
  EXPECT_TRUE(r.matches(Sec(9, 5, 7)));
  EXPECT_TRUE(r.matches(Sec(9, 5, 7, 8)));
  EXPECT_FALSE(r.matches(Sec(9, 5, 8)));
  EXPECT_FALSE(r.matches(Sec(21, 5, 7)));
  const ReservedTime midnight{0, 0, 0};
  EXPECT_TRUE(midnight.matches(Sec(0, 0, 0, 8)));
}

TEST(ReservedTime, AListWithoutASelectionNeverMatches) {
  for (const ReservedTime& r : {ReservedTime{9, 5, std::nullopt}, ReservedTime{9, std::nullopt, 7},
                                ReservedTime{std::nullopt, 5, 7}, ReservedTime{}}) {
    for (int s = 0; s < 60; ++s) EXPECT_FALSE(r.matches(Sec(9, 5, s)));
  }
}

TEST(ReservationWindow, FirstTickChecksOnlyItsOwnSecond) {
  ReservationWindow w;
  EXPECT_EQ(w.secondsToCheck(At(9, 5, 7, 5)), (std::vector<std::int64_t>{Sec(9, 5, 7)}));
  EXPECT_EQ(w.secondsToCheck(At(9, 5, 8, 5)), (std::vector<std::int64_t>{Sec(9, 5, 8)}));
}

TEST(ReservationWindow, DriftThatSkipsASecondIsCaughtUp) {
  ReservationWindow w;
  w.secondsToCheck(At(9, 5, 6, 999));
  EXPECT_EQ(w.secondsToCheck(At(9, 5, 8, 3)), (std::vector<std::int64_t>{Sec(9, 5, 7), Sec(9, 5, 8)}));
}

TEST(ReservationWindow, TwoTicksInOneSecondCheckItOnce) {
  ReservationWindow w;
  w.secondsToCheck(At(9, 5, 7, 1));
  EXPECT_TRUE(w.secondsToCheck(At(9, 5, 7, 990)).empty());
}

TEST(ReservationWindow, AGapKeepsOnlyTheLastFiveSeconds) {
  ReservationWindow w;
  w.secondsToCheck(At(9, 5, 0));
  // Six seconds later: 9:05:01 is more than 5 s late and is dropped.
  EXPECT_EQ(
      w.secondsToCheck(At(9, 5, 6)),
      (std::vector<std::int64_t>{Sec(9, 5, 2), Sec(9, 5, 3), Sec(9, 5, 4), Sec(9, 5, 5), Sec(9, 5, 6)}));
  // After a long suspend only the last five.
  const auto after = w.secondsToCheck(At(12, 0, 0));
  ASSERT_EQ(after.size(), 5u);
  EXPECT_EQ(after.front(), Sec(11, 59, 56));
  EXPECT_EQ(after.back(), Sec(12, 0, 0));
}

TEST(ReservationWindow, ClockGoingBackwardsChecksNothingTwice) {
  ReservationWindow w;
  w.secondsToCheck(At(9, 5, 10));
  EXPECT_TRUE(w.secondsToCheck(At(9, 5, 5)).empty());
  EXPECT_TRUE(w.secondsToCheck(At(9, 5, 10)).empty());
  EXPECT_EQ(w.secondsToCheck(At(9, 5, 11)), (std::vector<std::int64_t>{Sec(9, 5, 11)}));
}

TEST(ReservationWindow, MidnightIsCheckedLikeAnyOtherSecond) {
  ReservationWindow w;
  w.secondsToCheck(At(23, 59, 59, 2, 7));
  const auto seconds = w.secondsToCheck(At(0, 0, 1, 4, 8));
  EXPECT_EQ(seconds, (std::vector<std::int64_t>{Sec(0, 0, 0, 8), Sec(0, 0, 1, 8)}));
  EXPECT_TRUE((ReservedTime{0, 0, 0}).matches(seconds[0]));
}

}  // namespace
}  // namespace tapwell::ui
