#include "mqtt/reconnect_backoff.h"

#include <algorithm>

namespace qx {
namespace {

// The source's fraction, kept inside [0, 1) whatever it gives.
double Fraction(const RandomFraction& random) {
  const double value = random ? random() : 0.0;
  return value >= 0.0 && value < 1.0 ? value : 0.0;
}

}  // namespace

std::chrono::milliseconds ReconnectBackoff::NextDelay(bool credentials_refused) {
  const std::chrono::milliseconds nominal = credentials_refused ? kLongest : nominal_;
  nominal_ = std::min(nominal * 2, kLongest);
  const auto cut =
      static_cast<std::chrono::milliseconds::rep>(static_cast<double>(nominal.count()) * 0.25 * Fraction(random_));
  return nominal - std::chrono::milliseconds(cut);
}

std::chrono::milliseconds HomeAssistantOnlineDelay(const RandomFraction& random) {
  return std::chrono::milliseconds(1000 + static_cast<std::chrono::milliseconds::rep>(4000.0 * Fraction(random)));
}

}  // namespace qx
