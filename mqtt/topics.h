#pragma once
// Where the bridge publishes and what it listens to. Every topic of a PC sits under its base,
// "quellarotix/<node>":
//   <base>/availability       online / offline, retained; offline is also the connection's will
//   <base>/device             ON / OFF, retained: the SwitchUnit connected or not
//   <base>/temperature        the shown value ("23.5"), retained
//   <base>/outlet/N/state     ON / OFF, retained, N = 1..4
//   <base>/outlet/N/set       ON, OFF or TOGGLE in any letter case: the commands it takes
//   <base>/alarm/below, /above, /sensor_silent   ON / OFF, retained: the standing alarm conditions
// Home Assistant announces its start with "online" on "<prefix>/status".

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mqtt/mqtt_settings.h"

namespace qx {

inline constexpr char kPayloadOn[] = "ON";
inline constexpr char kPayloadOff[] = "OFF";
inline constexpr char kPayloadOnline[] = "online";
inline constexpr char kPayloadOffline[] = "offline";
// A command longer than this is no command of ours, whatever it starts with.
inline constexpr std::size_t kMaxCommandPayload = 64;

// The names a PC's topics are built from, in UTF-8. The node is a valid node id, the prefix a
// valid discovery prefix (mqtt/mqtt_names.h).
struct TopicNames {
  std::string node;
  std::string prefix;
};

// From the settings, whose prefix is Windows-1251; `node` in place of the stored node while none
// is fixed yet.
[[nodiscard]] TopicNames TopicNamesOf(const MqttSettings& settings, std::string_view node);

enum class AlarmTopic { kBelow, kAbove, kSensorSilent };

[[nodiscard]] std::string BaseTopic(const TopicNames& names);
[[nodiscard]] std::string AvailabilityTopic(const TopicNames& names);
[[nodiscard]] std::string DeviceTopic(const TopicNames& names);
[[nodiscard]] std::string TemperatureTopic(const TopicNames& names);
// Outlets 1..4.
[[nodiscard]] std::string OutletStateTopic(const TopicNames& names, int outlet);
[[nodiscard]] std::string OutletSetTopic(const TopicNames& names, int outlet);
[[nodiscard]] std::string AlarmTopicName(const TopicNames& names, AlarmTopic alarm);
[[nodiscard]] std::string ClientId(const TopicNames& names);

// What the bridge subscribes to: the four set topics, "<prefix>/status", and
// "homeassistant/status" too when the prefix is another (a Home Assistant left at its default
// still announces itself there).
[[nodiscard]] std::vector<std::string> SubscriptionTopics(const TopicNames& names);

// The retained state topics of a PC, each once: availability, device, temperature, the outlets'
// states and the alarms.
[[nodiscard]] std::vector<std::string> RetainedStateTopics(const TopicNames& names);

enum class OutletCommand { kOn, kOff, kToggle };

struct IncomingMessage {
  enum class Kind { kIgnored, kSwitchOutlet, kHomeAssistantOnline } kind = Kind::kIgnored;
  int outlet = 0;  // 1..4, for kSwitchOutlet
  OutletCommand command = OutletCommand::kOn;

  bool operator==(const IncomingMessage&) const = default;
};

// A message as it arrived. A retained one is always ignored: it is a replay of something said
// before this connection (a command left on the broker must never switch a mains outlet), so are
// payloads other than the commands and any over kMaxCommandPayload bytes.
[[nodiscard]] IncomingMessage ParseIncomingMessage(const TopicNames& names, std::string_view topic,
                                                   std::string_view payload, bool retained);

// The temperature's payload: the number of the window's shown temperature ("23.5" of
// "23.5 °C"); nothing when none is shown.
[[nodiscard]] std::optional<std::string> TemperaturePayload(std::string_view shown_temperature);

}  // namespace qx
