#pragma once
// The temperature report and what the program makes of it: the count (1/16 degree per unit) is
// converted in single precision, readings outside the validity window are dropped, and an
// accepted one is shown as text and kept rounded to a whole degree for the thermostat.

#include <cstdint>
#include <optional>
#include <string>

namespace qx {

struct TemperatureReading {
  float celsius = 0;
  std::string text;  // Windows-1251, e.g. "23.0 \xB0" "C"
  int rounded = 0;   // whole degrees, an exact half to the even neighbour
};

// Bytes 1 and 2 of a report (low, high) as the signed 16-bit count.
[[nodiscard]] std::int16_t TemperatureCount(std::uint8_t low, std::uint8_t high);

// The reading for a count, or nothing when the window rejects it: accepted are
// -58 < t < 150 (both excluded) and outside -0.2 .. 0.2 (both included in the rejected band),
// that is the counts -927 .. -4 and 4 .. 2399.
[[nodiscard]] std::optional<TemperatureReading> AcceptTemperature(std::int16_t count);

// Nearest whole number, an exact half going to the even neighbour (22.5 -> 22, 23.5 -> 24).
[[nodiscard]] int RoundHalfToEven(float value);

}  // namespace qx
