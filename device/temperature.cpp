#include "device/temperature.h"

#include <cmath>

#include "model/shown_texts.h"
#include "runtime/text.h"

namespace qx {

namespace {

// The validity window, in single precision as the readings are.
constexpr float kLowerBound = -58.0f;
constexpr float kUpperBound = 150.0f;
constexpr float kBandLow = -0.2f;
constexpr float kBandHigh = 0.2f;

}  // namespace

std::int16_t TemperatureCount(std::uint8_t low, std::uint8_t high) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(high << 8 | low));
}

int RoundHalfToEven(float value) {
  const float floor = std::floor(value);
  const float fraction = value - floor;
  auto whole = static_cast<int>(floor);
  if (fraction > 0.5f || (fraction == 0.5f && whole % 2 != 0)) ++whole;
  return whole;
}

std::optional<TemperatureReading> AcceptTemperature(std::int16_t count) {
  const float t = static_cast<float>(count) / 16.0f;
  if (!(t < kUpperBound && t > kLowerBound)) return std::nullopt;
  if (!(t < kBandLow || t > kBandHigh)) return std::nullopt;
  TemperatureReading reading;
  reading.celsius = t;
  reading.text = FixedDecimalText(t, 1) + ui::kDegreesCelsius;
  reading.rounded = RoundHalfToEven(t);
  return reading;
}

}  // namespace qx
