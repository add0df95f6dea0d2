#pragma once
// The MQTT window's fields taken as settings: each checked by the rule the settings file and the
// console apply, so the window cannot store what `mqtt connect` would refuse.

#include <optional>
#include <string>
#include <string_view>

#include "mqtt/mqtt_settings.h"

namespace qx {

// What the fields hold, UTF-8 as the boxes give it (a character outside Windows-1251 is still
// there to be refused, not turned into "?").
struct MqttFormFields {
  bool enabled = false;
  std::string server;
  std::string port;
  std::string user;
  std::string prefix;
  std::string node;
};

enum class MqttFormField { kNone, kServer, kPort, kUser, kPrefix, kNode };

struct MqttFormResult {
  std::optional<MqttSettings> settings;
  MqttFormField bad = MqttFormField::kNone;  // the first field refused
};

// The settings the fields make of `stored`; the stored password stays while the server (host and
// port) and the user do, and is cleared when one of them changes, as `mqtt connect` clears it (the
// window gives a new one apart). An empty server is refused only while MQTT is switched on; an empty node is made from
// the host name once MQTT is on.
[[nodiscard]] MqttFormResult SettingsFromForm(const MqttSettings& stored, const MqttFormFields& fields,
                                              std::string_view host_name_utf8);

}  // namespace qx
