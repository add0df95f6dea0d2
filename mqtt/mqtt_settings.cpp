#include "mqtt/mqtt_settings.h"

#include <optional>

#include "mqtt/mqtt_names.h"
#include "runtime/preferences.h"

namespace qx {
namespace {

// Windows-1251: keys "Включено", "Сервер", "Порт", "Пользователь", "Пароль", "Префикс", "Узел".
constexpr char kMqttGroup[] = "MQTT";
constexpr char kEnabledKey[] = "\xC2\xEA\xEB\xFE\xF7\xE5\xED\xEE";
constexpr char kServerKey[] = "\xD1\xE5\xF0\xE2\xE5\xF0";
constexpr char kPortKey[] = "\xCF\xEE\xF0\xF2";
constexpr char kUserKey[] = "\xCF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFC";
constexpr char kPasswordKey[] = "\xCF\xE0\xF0\xEE\xEB\xFC";
constexpr char kPrefixKey[] = "\xCF\xF0\xE5\xF4\xE8\xEA\xF1";
constexpr char kNodeKey[] = "\xD3\xE7\xE5\xEB";

// The program's one preference file in the shape of a PreferenceFile, so one reading and one
// writing of the group serve it and any other file (the fuzzer's, in memory).
struct ProgramFile {
  bool SelectGroup(std::string_view name) { return qx::SelectGroup(name); }
  bool WriteText(std::string_view key, std::string_view value) { return qx::WriteText(key, value); }
  bool WriteNumber(std::string_view key, std::int32_t value) { return qx::WriteNumber(key, value); }
  std::string ReadText(std::string_view key, std::string_view fallback) { return qx::ReadText(key, fallback); }
  std::int32_t ReadNumber(std::string_view key, std::int32_t fallback) { return qx::ReadNumber(key, fallback); }
};

template <typename File>
MqttSettings ReadGroup(File& file) {
  MqttSettings settings;
  // Without the group the engine would go on reading the group selected before.
  if (!file.SelectGroup(kMqttGroup)) return settings;
  settings.enabled = file.ReadNumber(kEnabledKey, 0) == 1;
  const std::string server = file.ReadText(kServerKey, "");
  if (IsValidServerHost(server)) settings.server = server;
  const std::int32_t port = file.ReadNumber(kPortKey, kDefaultMqttPort);
  if (port >= 1 && port <= 65535) settings.port = port;
  settings.user = file.ReadText(kUserKey, "");
  settings.password = file.ReadText(kPasswordKey, "");
  const std::string prefix = file.ReadText(kPrefixKey, kDefaultDiscoveryPrefix);
  if (IsValidDiscoveryPrefix(prefix)) settings.prefix = prefix;
  settings.node = NormalizedNodeId(file.ReadText(kNodeKey, "")).value_or("");
  return settings;
}

template <typename File>
void WriteGroup(File& file, const MqttSettings& settings) {
  const MqttSettings defaults;
  if (settings == defaults) return;
  file.SelectGroup(kMqttGroup);
  if (settings.enabled != defaults.enabled) file.WriteNumber(kEnabledKey, settings.enabled ? 1 : 0);
  if (settings.server != defaults.server) file.WriteText(kServerKey, settings.server);
  if (settings.port != defaults.port) file.WriteNumber(kPortKey, settings.port);
  if (settings.user != defaults.user) file.WriteText(kUserKey, settings.user);
  if (settings.password != defaults.password) file.WriteText(kPasswordKey, settings.password);
  if (settings.prefix != defaults.prefix) file.WriteText(kPrefixKey, settings.prefix);
  if (settings.node != defaults.node) file.WriteText(kNodeKey, settings.node);
}

}  // namespace

MqttSettings ReadMqttSettings() {
  ProgramFile file;
  return ReadGroup(file);
}

MqttSettings ReadMqttSettings(PreferenceFile& file) {
  return ReadGroup(file);
}

void WriteMqttSettings(const MqttSettings& settings) {
  ProgramFile file;
  WriteGroup(file, settings);
}

void WriteMqttSettings(PreferenceFile& file, const MqttSettings& settings) {
  WriteGroup(file, settings);
}

}  // namespace qx
