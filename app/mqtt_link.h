#pragma once
// The program's side of the MQTT bridge: creating it when MQTT is first switched on (with MQTT off
// there is no bridge, no socket and no thread), handing it the state, and carrying out its `set`
// commands on the user-interface thread.

#include <optional>
#include <string>

#include "mqtt/mqtt_settings.h"

namespace qx {

struct Program;

// The event that tells the user-interface thread a `set` came (a program event, >= WM_APP).
inline constexpr int kMqttSetEvent = 0x8000 + 0x320;

// Keeps `settings` as the program's MQTT settings and hands them to the bridge, creating it when
// they are enabled and there is none yet. `password` is the clear one (UTF-8); nullopt when the
// stored blob could not be decrypted. Never blocks.
void ApplyMqttSettings(Program& program, const MqttSettings& settings, std::optional<std::string> password);

// At start-up, once the widgets hold the settings: with MQTT on, the stored password decrypted
// and the bridge made.
void StartMqtt(Program& program);

// The clock's tick: the `set` commands still waiting, then the state as the widgets show it now.
// Nothing at all with MQTT off.
void TickMqtt(Program& program);

// For the event loop: true when `kind` was the bridge's and has been handled.
bool OnMqttEvent(Program& program, int kind);

// At exit, after the save: the last state, `offline` and the disconnect, a second at most.
void StopMqtt(Program& program);

}  // namespace qx
