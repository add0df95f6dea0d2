#include "mqtt/discovery.h"

#include "control/reply.h"
#include "model/shown_texts.h"
#include "runtime/text.h"

namespace qx {
namespace {

constexpr char kSwitch[] = "switch";
constexpr char kSensor[] = "sensor";
constexpr char kBinarySensor[] = "binary_sensor";

// Windows-1251: "Розетка ", "Температура", "Ниже предела", "Выше предела", "Нет данных от датчика".
constexpr char kOutletWord[] = "\xD0\xEE\xE7\xE5\xF2\xEA\xE0 ";
constexpr char kTemperatureName[] = "\xD2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xE0";
constexpr char kBelowName[] = "\xCD\xE8\xE6\xE5 \xEF\xF0\xE5\xE4\xE5\xEB\xE0";
constexpr char kAboveName[] = "\xC2\xFB\xF8\xE5 \xEF\xF0\xE5\xE4\xE5\xEB\xE0";
constexpr char kSilentName[] = "\xCD\xE5\xF2 \xE4\xE0\xED\xED\xFB\xF5 \xEE\xF2 \xE4\xE0\xF2\xF7\xE8\xEA\xE0";

// One JSON object, written member by member.
class JsonObject {
 public:
  JsonObject& Text(std::string_view key, std::string_view utf8) { return Raw(key, JsonString(utf8)); }
  JsonObject& Raw(std::string_view key, std::string_view json) {
    json_ += json_.empty() ? "{" : ",";
    json_.append(JsonString(key)).append(":").append(json);
    return *this;
  }
  [[nodiscard]] std::string Done() const { return json_.empty() ? "{}" : json_ + "}"; }

 private:
  std::string json_;
};

std::string OutletObject(int outlet) {
  return "outlet" + DecimalText(outlet);
}

// The members every config shares, then the entity's own; `with_device` adds the SwitchUnit's
// presence to the availability, for entities that mean nothing without it.
JsonObject CommonConfig(const TopicNames& names, const DiscoveryDevice& device, std::string_view object,
                        std::string_view name_1251, bool with_device) {
  const std::string device_json = JsonObject()
                                      .Raw("identifiers", "[" + JsonString(ClientId(names)) + "]")
                                      .Text("name", device.computer_name)
                                      .Text("model", "SwitchUnit")
                                      .Text("sw_version", device.version)
                                      .Done();
  const std::string origin_json = JsonObject().Text("name", "Quellarotix").Text("sw_version", device.version).Done();
  std::string availability = "[" + JsonObject().Text("topic", AvailabilityTopic(names)).Done();
  if (with_device) {
    availability.append(",").append(JsonObject()
                                        .Text("topic", DeviceTopic(names))
                                        .Text("payload_available", kPayloadOn)
                                        .Text("payload_not_available", kPayloadOff)
                                        .Done());
  }
  availability += "]";
  JsonObject config;
  config.Text("name", Cp1251ToUtf8(name_1251))
      .Text("unique_id", Concatenate(ClientId(names), "_", object))
      .Raw("device", device_json)
      .Raw("origin", origin_json)
      .Raw("availability", availability);
  if (with_device) config.Text("availability_mode", "all");
  return config;
}

void AddOnOffState(JsonObject& config, std::string_view state_topic) {
  config.Text("state_topic", state_topic).Text("payload_on", kPayloadOn).Text("payload_off", kPayloadOff);
}

RetainedMessage BinarySensorConfig(const TopicNames& names, const DiscoveryDevice& device, std::string_view object,
                                   std::string_view name_1251, std::string_view device_class,
                                   std::string_view state_topic) {
  JsonObject config = CommonConfig(names, device, object, name_1251, false);
  config.Text("device_class", device_class);
  AddOnOffState(config, state_topic);
  if (device_class == "connectivity") config.Text("entity_category", "diagnostic");
  return {DiscoveryConfigTopic(names, kBinarySensor, object), config.Done()};
}

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

struct AlarmEntity {
  const char* object;
  const char* name;
  AlarmTopic topic;
};

constexpr AlarmEntity kAlarmEntities[] = {
    {"below", kBelowName, AlarmTopic::kBelow},
    {"above", kAboveName, AlarmTopic::kAbove},
    {"sensor_silent", kSilentName, AlarmTopic::kSensorSilent},
};

}  // namespace

std::string DiscoveryConfigTopic(const TopicNames& names, std::string_view component, std::string_view object) {
  return Concatenate(names.prefix, "/", component, "/", names.node, "/", object, "/config");
}

RetainedMessage OutletDiscoveryConfig(const TopicNames& names, const DiscoveryDevice& device, int outlet,
                                      std::string_view name) {
  const std::string object = OutletObject(outlet);
  const std::string shown =
      IsBlank(name) ? Concatenate(std::string_view(kOutletWord), DecimalText(outlet)) : std::string(name);
  JsonObject config = CommonConfig(names, device, object, shown, true);
  config.Text("device_class", "outlet")
      .Text("command_topic", OutletSetTopic(names, outlet))
      .Text("state_topic", OutletStateTopic(names, outlet))
      .Text("payload_on", kPayloadOn)
      .Text("payload_off", kPayloadOff)
      .Text("state_on", kPayloadOn)
      .Text("state_off", kPayloadOff);
  return {DiscoveryConfigTopic(names, kSwitch, object), config.Done()};
}

std::vector<RetainedMessage> DiscoveryConfigs(const TopicNames& names, const DiscoveryDevice& device,
                                              const OutletNameTexts& outlet_names) {
  std::vector<RetainedMessage> configs;
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    configs.push_back(OutletDiscoveryConfig(names, device, outlet, outlet_names[static_cast<std::size_t>(outlet - 1)]));
  }
  JsonObject temperature = CommonConfig(names, device, "temperature", kTemperatureName, true);
  temperature.Text("device_class", "temperature")
      .Text("state_class", "measurement")
      .Text("unit_of_measurement", Cp1251ToUtf8(ui::kDegreesCelsius + 1))  // without its leading blank
      .Raw("suggested_display_precision", "1")
      .Raw("expire_after", "120")
      .Text("state_topic", TemperatureTopic(names));
  configs.push_back({DiscoveryConfigTopic(names, kSensor, "temperature"), temperature.Done()});
  configs.push_back(BinarySensorConfig(names, device, "usb", "USB", "connectivity", DeviceTopic(names)));
  for (const AlarmEntity& alarm : kAlarmEntities) {
    configs.push_back(
        BinarySensorConfig(names, device, alarm.object, alarm.name, "problem", AlarmTopicName(names, alarm.topic)));
  }
  return configs;
}

std::vector<RetainedMessage> RemovalMessages(const TopicNames& old_names) {
  // The configs' topics from the configs themselves, so no entity added later is left behind.
  std::vector<RetainedMessage> messages = DiscoveryConfigs(old_names, {}, {});
  for (RetainedMessage& message : messages) message.payload.clear();
  for (std::string& topic : RetainedStateTopics(old_names)) messages.push_back({std::move(topic), ""});
  return messages;
}

}  // namespace qx
