#include "app/mqtt_setup.h"

#include <windows.h>

#include "app/event_loop.h"
#include "app/mqtt_link.h"
#include "app/ui_texts.h"
#include "mqtt/mqtt_bridge.h"
#include "mqtt/password_store.h"
#include "runtime/text.h"

namespace qx {
namespace {

constexpr char kNotSaved[] = "the settings file could not be written; the change holds until Quellarotix ends\n";

// "Label: value" and a line feed, Windows-1251.
std::string SettingLine(const char* label, std::string_view value) {
  return Concatenate(std::string_view(label), ": ", value, "\n");
}

std::string MqttShowText(const Program& program) {
  const MqttSettings& settings = program.mqtt_settings;
  const MqttLinkStatus link = ReadMqttLinkStatus(program);
  return Cp1251ToUtf8(
      Concatenate(std::string_view("MQTT: "), ConnectionStatusText(link.connection), "\n",
                  SettingLine(ui::kMqttServer, link.server), SettingLine(ui::kMqttUser, settings.user),
                  SettingLine(ui::kMqttPassword, settings.password.empty() ? ui::kPasswordNotSet : ui::kPasswordSet),
                  SettingLine(ui::kMqttPrefix, settings.prefix), SettingLine(ui::kMqttNode, settings.node)));
}

Reply SavedReply(bool saved) {
  return saved ? Reply{kExitDone, {}} : Reply{kExitNotSaved, kNotSaved};
}

}  // namespace

std::string ComputerHostName() {
  wchar_t name[256] = {};
  DWORD length = 256;
  if (!GetComputerNameExW(ComputerNameDnsHostname, name, &length) || length == 0) return {};
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(length), text.data(), bytes, nullptr, nullptr);
  return text;
}

MqttLinkStatus ReadMqttLinkStatus(const Program& program) {
  const MqttSettings& settings = program.mqtt_settings;
  MqttLinkStatus link;
  link.enabled = settings.enabled;
  if (!settings.server.empty()) link.server = ServerText(settings.server, settings.port);
  link.node = settings.node;
  if (settings.enabled && program.mqtt) link.connection = program.mqtt->Status();
  return link;
}

bool ChangeMqttSettings(Program& program, const MqttSettings& settings, std::optional<std::string> password) {
  if (password || !settings.enabled) {
    ApplyMqttSettings(program, settings, std::move(password));
  } else {
    // The stored password, as at start; a blob this user cannot decrypt leaves the bridge to say so.
    program.mqtt_settings = settings;
    StartMqtt(program);
  }
  // The same save the exit makes, names from their fields included.
  TakeNamesFromFields(program);
  return SaveSettings(program.outlet_names, program.alarm_settings, &program.mqtt_settings);
}

Reply RunMqttCommand(Program& program, const Request& request) {
  switch (request.mqtt.action) {
    case MqttAction::kShow:
      return {kExitDone, MqttShowText(program)};
    case MqttAction::kOff: {
      MqttSettings settings = program.mqtt_settings;
      settings.enabled = false;
      return SavedReply(ChangeMqttSettings(program, settings, std::nullopt));
    }
    case MqttAction::kConnect:
      break;
  }
  const ConnectArguments& connect = request.mqtt.connect;
  std::string blob;
  if (connect.password_stdin && !request.password.empty()) {
    blob = ProtectMqttPassword(request.password);
    if (blob.empty()) return {kExitBadRequest, "the password could not be encrypted for this Windows user\n"};
  }
  const MqttSettings settings = SettingsAfterConnect(program.mqtt_settings, connect, blob, ComputerHostName());
  std::optional<std::string> password;
  if (connect.password_stdin) password = request.password;
  return SavedReply(ChangeMqttSettings(program, settings, std::move(password)));
}

}  // namespace qx
