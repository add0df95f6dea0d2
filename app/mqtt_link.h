#pragma once
// The program's side of the MQTT bridge: creating it when MQTT is first switched on (with MQTT off
// there is no bridge, no socket and no thread), handing it the state, and carrying out its `set`
// commands on the user-interface thread.

#include <optional>
#include <string>

#include "mqtt/mqtt_settings.h"

namespace qx {

struct Program;

// Keeps `settings` as the program's MQTT settings and hands them to the bridge, creating it when
// they are enabled and there is none yet. `password` is the clear one (UTF-8); nullopt when the
// stored blob could not be decrypted. Never blocks.
void ApplyMqttSettings(Program& program, const MqttSettings& settings, std::optional<std::string> password);

}  // namespace qx
