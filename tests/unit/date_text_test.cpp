#include "runtime/date_text.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

DateValue At(int y, int mo, int d, int h, int mi, int s) { return MakeDateValue({y, mo, d, h, mi, s}); }

TEST(DateValue, CountsEveryDayAs86400Seconds) {
  EXPECT_EQ(At(1970, 1, 1, 0, 0, 0), 0);
  EXPECT_EQ(At(1970, 1, 2, 0, 0, 1), 86401);
  EXPECT_EQ(At(2038, 1, 19, 3, 14, 7), 2147483647);
  EXPECT_EQ(At(2038, 1, 19, 3, 14, 8), 2147483647);  // past the range: held at the largest value
  const LocalClockReading r = BreakDownDateValue(At(2024, 2, 29, 13, 7, 9));
  EXPECT_EQ(r.year, 2024);
  EXPECT_EQ(r.month, 2);
  EXPECT_EQ(r.day, 29);
  EXPECT_EQ(r.hour, 13);
  EXPECT_EQ(r.minute, 7);
  EXPECT_EQ(r.second, 9);
}

TEST(FormatDateText, TheProgramsTwoMasks) {
  const DateValue v = At(1970, 12, 6, 8, 5, 3);
  EXPECT_EQ(FormatDateText("%hh:%ii:%ss", v), "08:05:03");
  EXPECT_EQ(FormatDateText("%dd.%mm.%yyyy", v), "06.12.1970");
  EXPECT_EQ(FormatDateText("%dd.%mm.%yyyy", At(2024, 2, 29, 0, 0, 0)), "29.02.2024");

  const DateValue last = At(2026, 12, 31, 23, 59, 59);
  EXPECT_EQ(FormatDateText("%hh:%ii:%ss", last), "23:59:59");
  EXPECT_EQ(FormatDateText("%dd.%mm.%yyyy", last), "31.12.2026");
  EXPECT_EQ(FormatDateText("%hh:%ii:%ss", last + 1), "00:00:00");
  EXPECT_EQ(FormatDateText("%dd.%mm.%yyyy", last + 1), "01.01.2027");
}

TEST(FormatDateText, TokenCaseAndStrayPercent) {
  const DateValue v = At(2026, 3, 4, 5, 6, 7);
  EXPECT_EQ(FormatDateText("%HH:%Ii:%sS %DD.%Mm.%YYYY", v), "05:06:07 04.03.2026");
  EXPECT_EQ(FormatDateText("%yy", v), "26");
  EXPECT_EQ(FormatDateText("%yyy", v), "26y");
  EXPECT_EQ(FormatDateText("%q %", v), "%q %");
  EXPECT_EQ(FormatDateText("100%%hh", v), "100%05");
  EXPECT_EQ(FormatDateText("%h:%i", v), "%h:%i");
  EXPECT_EQ(FormatDateText("", v), "");
}

TEST(FormatDateText, ValueThatCannotBeBrokenDown) {
  EXPECT_EQ(FormatDateText("%yyyy %yy %mm %dd %hh %ii %ss", -1), "0000 00 00 00 00 00 00");
}

TEST(CurrentDateValue, FollowsTheReplaceableClock) {
  // The autumn daylight-saving change repeats an hour: the value follows the wall clock back.
  LocalClockReading reading{2026, 10, 25, 2, 59, 59};
  SetLocalClock([&] { return reading; });
  EXPECT_EQ(FormatDateText("%hh:%ii:%ss", CurrentDateValue()), "02:59:59");
  reading = {2026, 10, 25, 2, 0, 0};
  EXPECT_EQ(FormatDateText("%hh:%ii:%ss", CurrentDateValue()), "02:00:00");
  SetLocalClock(nullptr);
  EXPECT_GT(CurrentDateValue(), At(2020, 1, 1, 0, 0, 0));  // the system clock again
}

}  // namespace
}  // namespace qx
