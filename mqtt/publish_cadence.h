#pragma once
// When the bridge publishes what changes all the time. The temperature: while a reading is fresh,
// every 30 s (Home Assistant's expire_after is 120 s, so a lost message or two do no harm), and
// at once when it moved 0.5 °C or more since the last one published, but at most once per 5 s, so
// a sensor flickering across a boundary does not flood the broker. An outlet's name: its config
// goes out again once the name has been still for 2 s, not at every key the user types.

#include <array>
#include <chrono>
#include <string>
#include <string_view>

#include "model/widget_numbers.h"

namespace qx {

using SteadyTime = std::chrono::steady_clock::time_point;

class TemperatureCadence {
 public:
  static constexpr std::chrono::seconds kRefresh{30};
  static constexpr std::chrono::seconds kMinimumGap{5};
  static constexpr int kMoveTenths = 5;

  // Whether to publish `value` (the shown temperature) now; when it answers yes, it counts the
  // value as published. A stale reading is never published, and a reading that comes back after
  // one goes out as a move would.
  [[nodiscard]] bool PublishNow(SteadyTime now, bool fresh, float value);
  // After a (re)connection everything is published anew: the next fresh reading goes out at once.
  void Restart() { published_ = false; }

 private:
  bool published_ = false;
  bool went_stale_ = false;
  SteadyTime last_time_{};
  long last_tenths_ = 0;
};

class OutletNameDebounce {
 public:
  static constexpr std::chrono::seconds kStill{2};

  // The names published with the configs, at every connection; Windows-1251 as the fields hold them.
  void Published(const std::array<std::string, kOutletCount>& names);
  // What a name field holds now (outlet 1..4), seen at `now`.
  void Observe(SteadyTime now, int outlet, std::string_view name);
  // The outlets (bit n - 1 for outlet n) whose name differs from the published one and has been
  // still for 2 s; they count as published from here on.
  [[nodiscard]] unsigned TakeDueOutlets(SteadyTime now);

 private:
  struct Outlet {
    std::string published;
    std::string current;
    SteadyTime changed{};
  };
  std::array<Outlet, kOutletCount> outlets_{};
};

}  // namespace qx
