#include "mqtt/publish_cadence.h"

#include <cmath>
#include <cstdlib>

namespace qx {

bool TemperatureCadence::PublishNow(SteadyTime now, bool fresh, float value) {
  if (!fresh || !std::isfinite(value)) {
    went_stale_ = published_;
    return false;
  }
  // The shown value has one decimal; compared in tenths, 15.8 -> 16.3 is the 0.5 it looks like,
  // not the 0.4999990 the floats make of it.
  const long tenths = std::lround(static_cast<double>(value) * 10.0);
  bool due = !published_ || now - last_time_ >= kRefresh;
  if (!due && now - last_time_ >= kMinimumGap) {
    due = went_stale_ || std::labs(tenths - last_tenths_) >= kMoveTenths;
  }
  if (!due) return false;
  published_ = true;
  went_stale_ = false;
  last_time_ = now;
  last_tenths_ = tenths;
  return true;
}

void OutletNameDebounce::Published(const std::array<std::string, kOutletCount>& names) {
  for (std::size_t i = 0; i < outlets_.size(); ++i) {
    outlets_[i].published = names[i];
    outlets_[i].current = names[i];
  }
}

void OutletNameDebounce::Observe(SteadyTime now, int outlet, std::string_view name) {
  if (outlet < 1 || outlet > kOutletCount) return;
  Outlet& entry = outlets_[static_cast<std::size_t>(outlet - 1)];
  if (entry.current == name) return;
  entry.current = name;
  entry.changed = now;
}

unsigned OutletNameDebounce::TakeDueOutlets(SteadyTime now) {
  unsigned due = 0;
  for (std::size_t i = 0; i < outlets_.size(); ++i) {
    Outlet& entry = outlets_[i];
    if (entry.current == entry.published || now - entry.changed < kStill) continue;
    entry.published = entry.current;
    due |= 1u << i;
  }
  return due;
}

}  // namespace qx
