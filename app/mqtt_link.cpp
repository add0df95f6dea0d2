#include "app/mqtt_link.h"

#include <windows.h>

#include <utility>
#include <vector>
#include "runtime/platform/lock.h"

#include "app/outlet_command.h"
#include "app/program.h"
#include "app/widget_ids.h"
#include "mqtt/password_store.h"
#include "mqtt/topics.h"
#include "runtime/platform/lock.h"
#include "runtime/win32/widgets.h"
#include "runtime/win32/window_layer.h"

namespace qx {
namespace {

// The `set` commands the MQTT thread took, for the user-interface thread. Kept here rather than
// in the event alone: a modal loop (a message box, the tray menu) swallows program events, and
// the clock's tick then finds them.
Lock g_pending_mutex;
std::vector<std::pair<int, OutletSetCommand>> g_pending_sets;

void PostMqttSet(int outlet, OutletSetCommand command) {
  {
    std::lock_guard<Lock> lock(g_pending_mutex);
    g_pending_sets.emplace_back(outlet, command);
  }
  (void)PostProgramEvent(kMqttSetEvent, 0);
}

MqttProgramState ReadMqttProgramState(const Program& program) {
  MqttProgramState state;
  state.device = program.device.LastPresence();
  state.reading_fresh = program.device.HasFreshReading(GetTickCount64());
  if (state.reading_fresh) state.temperature_text = TemperaturePayload(GetText(kTemperatureDisplay)).value_or("");
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    const auto index = static_cast<std::size_t>(outlet - 1);
    state.outlets[index] = GetState(OutletCheckBox(outlet)) == 1;
    // From the field, as typed: the menu's copy may carry the "_" padding.
    state.outlet_names[index] = GetText(NameField(outlet));
  }
  for (const AlarmCondition condition : program.alarm_rules.StandingConditions()) {
    state.below = state.below || condition == AlarmCondition::kBelow;
    state.above = state.above || condition == AlarmCondition::kAbove;
    state.sensor_silent = state.sensor_silent || condition == AlarmCondition::kSensorSilent;
  }
  return state;
}

void CarryOutMqttSets(Program& program) {
  std::vector<std::pair<int, OutletSetCommand>> sets;
  {
    std::lock_guard<Lock> lock(g_pending_mutex);
    sets.swap(g_pending_sets);
  }
  if (sets.empty() || !program.mqtt || program.shutting_down) return;
  // Each as the console's on/off/toggle: one report each, the tray menu refreshed. Without a
  // device nothing changes, and the state goes out again all the same: the dashboard that sent
  // the command may already show what it asked for.
  for (const auto& [outlet, command] : sets) (void)CarryOutOutletCommand(program, 1u << (outlet - 1), command);
  program.mqtt->RepublishOutlets(ReadMqttProgramState(program));
}

}  // namespace

void ApplyMqttSettings(Program& program, const MqttSettings& settings, std::optional<std::string> password) {
  program.mqtt_settings = settings;
  if (!program.mqtt) {
    if (!settings.enabled) return;
    program.mqtt = std::make_unique<MqttBridge>(PostMqttSet);
  }
  program.mqtt->Configure(settings, std::move(password));
  program.mqtt->UpdateState(ReadMqttProgramState(program));
}

void StartMqtt(Program& program) {
  if (!program.mqtt_settings.enabled) return;
  // No password stored is no password; a blob that does not decrypt (another user, another PC)
  // has to be entered again.
  std::optional<std::string> password = program.mqtt_settings.password.empty()
                                            ? std::optional<std::string>(std::string())
                                            : UnprotectMqttPassword(program.mqtt_settings.password);
  ApplyMqttSettings(program, program.mqtt_settings, std::move(password));
}

void TickMqtt(Program& program) {
  if (!program.mqtt) return;
  CarryOutMqttSets(program);
  program.mqtt->UpdateState(ReadMqttProgramState(program));
}

bool OnMqttEvent(Program& program, int kind) {
  if (kind != kMqttSetEvent) return false;
  CarryOutMqttSets(program);
  return true;
}

void StopMqtt(Program& program) {
  if (!program.mqtt) return;
  program.mqtt->UpdateState(ReadMqttProgramState(program));
  program.mqtt->Shutdown();
}

}  // namespace qx
