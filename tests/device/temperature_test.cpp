// Conversion and acceptance of temperature reports at the edges of the validity window.

#include "device/temperature.h"

#include <gtest/gtest.h>

#include <string>

namespace qx {
namespace {

const std::string kDegrees =
    " \xB0"
    "C";

struct CountCase {
  int count;
  bool accepted;
  std::string text;
  int rounded;
};

class Counts : public ::testing::TestWithParam<CountCase> {};

TEST_P(Counts, AreAcceptedShownAndRounded) {
  const CountCase& c = GetParam();
  const auto reading = AcceptTemperature(static_cast<std::int16_t>(c.count));
  ASSERT_EQ(reading.has_value(), c.accepted) << "count " << c.count;
  if (!reading) return;
  EXPECT_EQ(reading->text, c.text + kDegrees);
  EXPECT_EQ(reading->rounded, c.rounded);
  EXPECT_EQ(reading->celsius, static_cast<float>(c.count) / 16.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Window, Counts,
    ::testing::Values(
        // the lower edge: -58.0 is out, -57.9375 in
        CountCase{-928, false, "", 0}, CountCase{-927, true, "-57.9", -58}, CountCase{-32768, false, "", 0},
        // the band around zero: -0.1875 .. 0.1875 out, +-0.25 in
        CountCase{-4, true, "-0.3", 0}, CountCase{-3, false, "", 0}, CountCase{0, false, "", 0},
        CountCase{3, false, "", 0}, CountCase{4, true, "0.3", 0}, CountCase{5, true, "0.3", 0},
        // the upper edge: 149.9375 in, 150.0 out
        CountCase{2399, true, "149.9", 150}, CountCase{2400, false, "", 0}, CountCase{32767, false, "", 0},
        // ordinary readings and halves going to the even neighbour
        CountCase{368, true, "23.0", 23}, CountCase{-160, true, "-10.0", -10}, CountCase{360, true, "22.5", 22},
        CountCase{376, true, "23.5", 24}, CountCase{-360, true, "-22.5", -22}, CountCase{-376, true, "-23.5", -24},
        // above what a signed byte holds: a heater must see 128, not -128
        CountCase{2040, true, "127.5", 128}, CountCase{2080, true, "130.0", 130}));

TEST(TemperatureCount, IsSignedLittleEndian) {
  EXPECT_EQ(TemperatureCount(0x70, 0x01), 368);
  EXPECT_EQ(TemperatureCount(0x60, 0xFF), -160);
  EXPECT_EQ(TemperatureCount(0x00, 0x80), -32768);
  EXPECT_EQ(TemperatureCount(0xFF, 0x7F), 32767);
}

TEST(RoundHalfToEven, GoesToTheEvenNeighbourOnlyOnExactHalves) {
  const struct {
    float value;
    int rounded;
  } cases[] = {{0.5f, 0},    {1.5f, 2},      {2.5f, 2},    {-0.5f, 0},    {-1.5f, -2},      {-2.5f, -2},
               {0.5625f, 1}, {-0.5625f, -1}, {0.4375f, 0}, {127.5f, 128}, {149.9375f, 150}, {-57.9375f, -58}};
  for (const auto& c : cases) EXPECT_EQ(RoundHalfToEven(c.value), c.rounded) << c.value;
}

}  // namespace
}  // namespace qx
