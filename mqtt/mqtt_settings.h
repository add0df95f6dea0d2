#pragma once
// The MQTT group of the settings file, "MQTT", the seventh, after the alarm limits. Each key is
// written only when its value differs from its default, and the group only when one does, so the
// file of a user who never switched MQTT on stays exactly as it was before there was MQTT.
//
// It lives beside the bridge rather than in automation/: what a valid prefix, node or server is
// belongs to the topics built from them, and the bridge reads nothing else of the file.

#include <cstdint>
#include <string>

#include "runtime/preferences.h"

namespace qx {

inline constexpr int kDefaultMqttPort = 1883;
inline constexpr char kDefaultDiscoveryPrefix[] = "homeassistant";

// Texts are Windows-1251 bytes, as everywhere in the file.
struct MqttSettings {
  bool enabled = false;
  std::string server;  // host name or address, an IPv6 one without brackets; empty: none yet
  int port = kDefaultMqttPort;
  std::string user;
  // The encrypted password as base64 text, never the password: the core only carries it between
  // the file and the code that encrypts and decrypts it.
  std::string password;
  std::string prefix = kDefaultDiscoveryPrefix;
  std::string node;  // empty: not yet fixed (it is when MQTT is first switched on)

  bool operator==(const MqttSettings&) const = default;
};

// From the program's open preference file (or `file`): a missing group or key gives its default,
// and so does a value that breaks its rule (a port outside 1..65535, a prefix or node that topics
// cannot be built from, a server with a space in it); a switch anything but 1 is off; a node in
// capitals is lowered.
[[nodiscard]] MqttSettings ReadMqttSettings();
[[nodiscard]] MqttSettings ReadMqttSettings(PreferenceFile& file);
// Appends the group to the preference file being written, unless every value is its default.
void WriteMqttSettings(const MqttSettings& settings);
void WriteMqttSettings(PreferenceFile& file, const MqttSettings& settings);

}  // namespace qx
