#pragma once
// Home Assistant's MQTT discovery: one retained config per entity at
//   <prefix>/<component>/<node>/<object>/config
// with the full field names (no abbreviations, no "~"), so a person reading the broker can follow
// them. The entities and their object ids:
//   switch         outlet1 .. outlet4   the outlets, named as the user named them
//   sensor         temperature          "Температура"
//   binary_sensor  usb                  "USB": the SwitchUnit connected
//   binary_sensor  below, above, sensor_silent   the alarm conditions
// Entity names never repeat the device's name: Home Assistant puts the two together itself.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "model/widget_numbers.h"
#include "mqtt/topics.h"

namespace qx {

struct RetainedMessage {
  std::string topic;
  std::string payload;  // empty: the retained message on the topic is cleared

  bool operator==(const RetainedMessage&) const = default;
};

// What every config says of the PC, UTF-8.
struct DiscoveryDevice {
  std::string computer_name;
  std::string version;  // the program's, as its version resource gives it
};

// Outlet names as the name fields hold them, Windows-1251; index 0 is outlet 1.
using OutletNameTexts = std::array<std::string, kOutletCount>;

[[nodiscard]] std::string DiscoveryConfigTopic(const TopicNames& names, std::string_view component,
                                               std::string_view object);

// One outlet's switch, published again when its name changes; an empty name (or one of blanks
// only) becomes "Розетка N".
[[nodiscard]] RetainedMessage OutletDiscoveryConfig(const TopicNames& names, const DiscoveryDevice& device, int outlet,
                                                    std::string_view name);

// Every entity's config: the four switches, then the temperature, the USB connection and the
// three alarm conditions.
[[nodiscard]] std::vector<RetainedMessage> DiscoveryConfigs(const TopicNames& names, const DiscoveryDevice& device,
                                                            const OutletNameTexts& outlet_names);

// What takes a PC's entities out of Home Assistant when its node or prefix changes: every config
// emptied, then every retained state cleared, on the old names.
[[nodiscard]] std::vector<RetainedMessage> RemovalMessages(const TopicNames& old_names);

}  // namespace qx
