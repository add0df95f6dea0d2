#pragma once
// The MQTT bridge: one thread of its own around libmosquitto, which does every network thing (name
// look-up, connect, publish, receive, keepalive) and sleeps on its socket and a wake event between
// packets. The user-interface thread hands it settings and state snapshots and reads a status
// snapshot back; it never calls libmosquitto and never waits on the network.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "model/widget_numbers.h"
#include "mqtt/connection_status.h"
#include "mqtt/discovery.h"
#include "mqtt/mqtt_settings.h"

namespace qx {

// A snapshot the user-interface thread hands over.
struct MqttProgramState {
  bool device = false;  // SwitchUnit connected
  bool reading_fresh = false;
  std::string temperature_text;  // the shown value, "23.5" (ASCII), meaningful while fresh
  std::array<bool, kOutletCount> outlets{};
  OutletNameTexts outlet_names;                              // Windows-1251, from the name fields
  bool below = false, above = false, sensor_silent = false;  // standing alarm conditions
  bool operator==(const MqttProgramState&) const = default;
};

enum class OutletSetCommand { kOn, kOff, kToggle };

class MqttBridge {
 public:
  // `post_switch` is called on the MQTT thread for a valid `set`; the program posts it to the
  // user-interface thread, which carries it out as the console's on/off/toggle does.
  explicit MqttBridge(std::function<void(int outlet, OutletSetCommand)> post_switch);
  ~MqttBridge();  // = Shutdown()
  MqttBridge(const MqttBridge&) = delete;
  MqttBridge& operator=(const MqttBridge&) = delete;

  // UI thread. Takes the settings (enabled or not) and the password in clear (UTF-8, from the
  // store; nullopt when the stored blob could not be decrypted -> no connection, error kPassword).
  // Off: `offline` and a clean disconnect, the thread idles (or ends). A change of node, prefix or
  // server removes the old entities first when the old connection is up. Cheap; never blocks.
  void Configure(const MqttSettings& settings, std::optional<std::string> password);
  // UI thread; cheap: wakes the MQTT thread only when the snapshot differs from the last one.
  void UpdateState(const MqttProgramState& state);
  // UI thread, after a `set` was carried out: as UpdateState, but the outlets' states go out even
  // when nothing changed (no SwitchUnit), so a dashboard that guessed the outcome is put right.
  void RepublishOutlets(const MqttProgramState& state);
  // Any thread: the state for the window's status line, `status` and `mqtt`.
  ConnectionStatus Status() const;
  // At exit: `offline` and a clean disconnect within at most 1 s, then returns regardless.
  void Shutdown();

  // What the thread and the bridge share; it outlives the bridge while an abandoned thread still
  // holds it (a look-up that hangs past the exit's second).
  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  MqttProgramState last_state_;
  bool has_state_ = false;
  bool shut_down_ = false;
};

}  // namespace qx
