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

}  // namespace

MqttSettings ReadMqttSettings() {
  MqttSettings settings;
  // Without the group the engine would go on reading the group selected before.
  if (!SelectGroup(kMqttGroup)) return settings;
  settings.enabled = ReadNumber(kEnabledKey, 0) == 1;
  const std::string server = ReadText(kServerKey, "");
  if (IsValidServerHost(server)) settings.server = server;
  const std::int32_t port = ReadNumber(kPortKey, kDefaultMqttPort);
  if (port >= 1 && port <= 65535) settings.port = port;
  settings.user = ReadText(kUserKey, "");
  settings.password = ReadText(kPasswordKey, "");
  const std::string prefix = ReadText(kPrefixKey, kDefaultDiscoveryPrefix);
  if (IsValidDiscoveryPrefix(prefix)) settings.prefix = prefix;
  settings.node = NormalizedNodeId(ReadText(kNodeKey, "")).value_or("");
  return settings;
}

void WriteMqttSettings(const MqttSettings& settings) {
  const MqttSettings defaults;
  if (settings == defaults) return;
  SelectGroup(kMqttGroup);
  if (settings.enabled != defaults.enabled) WriteNumber(kEnabledKey, settings.enabled ? 1 : 0);
  if (settings.server != defaults.server) WriteText(kServerKey, settings.server);
  if (settings.port != defaults.port) WriteNumber(kPortKey, settings.port);
  if (settings.user != defaults.user) WriteText(kUserKey, settings.user);
  if (settings.password != defaults.password) WriteText(kPasswordKey, settings.password);
  if (settings.prefix != defaults.prefix) WriteText(kPrefixKey, settings.prefix);
  if (settings.node != defaults.node) WriteText(kNodeKey, settings.node);
}

}  // namespace qx
