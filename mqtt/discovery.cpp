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

// The configs are written from patterns, with the fixed members spelled out in place: the JSON a
// person reads on the broker, and the least code. In a pattern each '@' takes the next text as a
// JSON string (UTF-8) and each '$' the next text as it stands (JSON already). ON and OFF there
// are kPayloadOn and kPayloadOff.
std::string FillPattern(std::string_view pattern, std::initializer_list<std::string_view> texts) {
  std::string json;
  const std::string_view* text = texts.begin();
  for (const char c : pattern) {
    if ((c == '@' || c == '$') && text != texts.end()) {
      json += c == '@' ? JsonString(*text++) : std::string(*text++);
    } else {
      json += c;
    }
  }
  return json;
}

// The members every config has after its name and unique id: the device, the origin and the
// availability. The SwitchUnit's presence joins the availability of the entities that mean
// nothing without it.
constexpr char kDeviceMembers[] =
    ",\"device\":{\"identifiers\":[@],\"name\":@,\"model\":\"SwitchUnit\",\"sw_version\":@},"
    "\"origin\":{\"name\":\"Quellarotix\",\"sw_version\":@},\"availability\":[{\"topic\":@}";
constexpr char kWithDevice[] =
    ",{\"topic\":@,\"payload_available\":\"ON\",\"payload_not_available\":\"OFF\"}],\"availability_mode\":\"all\"";

std::string SharedMembers(const TopicNames& names, const DiscoveryDevice& device, bool with_device) {
  const std::string client = ClientId(names);
  return FillPattern(kDeviceMembers,
                     {client, device.computer_name, device.version, device.version, AvailabilityTopic(names)}) +
         (with_device ? FillPattern(kWithDevice, {DeviceTopic(names)}) : std::string("]"));
}

// One entity's config: its name (Windows-1251) and unique id, the shared members, its own.
RetainedMessage Config(const TopicNames& names, std::string_view component, std::string_view object,
                       std::string_view name_1251, const std::string& shared, const std::string& own) {
  return {DiscoveryConfigTopic(names, component, object),
          FillPattern("{\"name\":@,\"unique_id\":@$$}",
                      {Cp1251ToUtf8(name_1251), Concatenate(ClientId(names), "_", object), shared, own})};
}

constexpr char kOnOffState[] = ",\"state_topic\":@,\"payload_on\":\"ON\",\"payload_off\":\"OFF\"";

RetainedMessage OutletConfig(const TopicNames& names, int outlet, std::string_view name, const std::string& shared) {
  const std::string object = Concatenate("outlet", DecimalText(outlet));
  const bool blank = name.find_first_not_of(' ') == std::string_view::npos;
  const std::string shown = blank ? Concatenate(std::string_view(kOutletWord), DecimalText(outlet)) : std::string(name);
  return Config(names, kSwitch, object, shown, shared,
                FillPattern(",\"device_class\":\"outlet\",\"command_topic\":@", {OutletSetTopic(names, outlet)}) +
                    FillPattern(kOnOffState, {OutletStateTopic(names, outlet)}) +
                    ",\"state_on\":\"ON\",\"state_off\":\"OFF\"");
}

struct AlarmSensor {
  const char* object;
  const char* name;  // Windows-1251
  AlarmTopic topic;
};

constexpr AlarmSensor kAlarmSensors[] = {
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
  return OutletConfig(names, outlet, name, SharedMembers(names, device, true));
}

std::vector<RetainedMessage> DiscoveryConfigs(const TopicNames& names, const DiscoveryDevice& device,
                                              const OutletNameTexts& outlet_names) {
  const std::string with_device = SharedMembers(names, device, true);
  const std::string alone = SharedMembers(names, device, false);
  std::vector<RetainedMessage> configs;
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    configs.push_back(OutletConfig(names, outlet, outlet_names[static_cast<std::size_t>(outlet - 1)], with_device));
  }
  configs.push_back(Config(names, kSensor, "temperature", kTemperatureName, with_device,
                           FillPattern(",\"device_class\":\"temperature\",\"state_class\":\"measurement\","
                                       "\"unit_of_measurement\":@,\"suggested_display_precision\":1,"
                                       "\"expire_after\":120,\"state_topic\":@",
                                       {Cp1251ToUtf8(ui::kDegreesCelsius + 1),  // without its leading blank
                                        TemperatureTopic(names)})));
  configs.push_back(Config(names, kBinarySensor, "usb", "USB", alone,
                           ",\"device_class\":\"connectivity\",\"entity_category\":\"diagnostic\"" +
                               FillPattern(kOnOffState, {DeviceTopic(names)})));
  for (const AlarmSensor& alarm : kAlarmSensors) {
    configs.push_back(
        Config(names, kBinarySensor, alarm.object, alarm.name, alone,
               ",\"device_class\":\"problem\"" + FillPattern(kOnOffState, {AlarmTopicName(names, alarm.topic)})));
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
