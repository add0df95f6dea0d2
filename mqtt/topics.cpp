#include "mqtt/topics.h"

#include "control/reply.h"
#include "model/widget_numbers.h"
#include "mqtt/mqtt_names.h"
#include "runtime/text.h"

namespace qx {
namespace {

constexpr char kDefaultStatusTopic[] = "homeassistant/status";

std::string StatusTopic(const TopicNames& names) {
  return names.prefix + "/status";
}

}  // namespace

TopicNames TopicNamesOf(const MqttSettings& settings, std::string_view node) {
  return {settings.node.empty() ? std::string(node) : settings.node, Cp1251ToUtf8(settings.prefix)};
}

std::string BaseTopic(const TopicNames& names) {
  return "quellarotix/" + names.node;
}

std::string AvailabilityTopic(const TopicNames& names) {
  return BaseTopic(names) + "/availability";
}

std::string DeviceTopic(const TopicNames& names) {
  return BaseTopic(names) + "/device";
}

std::string TemperatureTopic(const TopicNames& names) {
  return BaseTopic(names) + "/temperature";
}

std::string OutletStateTopic(const TopicNames& names, int outlet) {
  return Concatenate(BaseTopic(names), "/outlet/", DecimalText(outlet), "/state");
}

std::string OutletSetTopic(const TopicNames& names, int outlet) {
  return Concatenate(BaseTopic(names), "/outlet/", DecimalText(outlet), "/set");
}

std::string AlarmTopicName(const TopicNames& names, AlarmTopic alarm) {
  const char* level = alarm == AlarmTopic::kBelow ? "below" : alarm == AlarmTopic::kAbove ? "above" : "sensor_silent";
  return Concatenate(BaseTopic(names), "/alarm/", std::string_view(level));
}

std::string ClientId(const TopicNames& names) {
  return "quellarotix_" + names.node;
}

std::vector<std::string> SubscriptionTopics(const TopicNames& names) {
  std::vector<std::string> topics;
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) topics.push_back(OutletSetTopic(names, outlet));
  topics.push_back(StatusTopic(names));
  if (StatusTopic(names) != kDefaultStatusTopic) topics.push_back(kDefaultStatusTopic);
  return topics;
}

std::vector<std::string> RetainedStateTopics(const TopicNames& names) {
  std::vector<std::string> topics = {AvailabilityTopic(names), DeviceTopic(names), TemperatureTopic(names)};
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) topics.push_back(OutletStateTopic(names, outlet));
  for (AlarmTopic alarm : {AlarmTopic::kBelow, AlarmTopic::kAbove, AlarmTopic::kSensorSilent}) {
    topics.push_back(AlarmTopicName(names, alarm));
  }
  return topics;
}

IncomingMessage ParseIncomingMessage(const TopicNames& names, std::string_view topic, std::string_view payload,
                                     bool retained) {
  IncomingMessage message;
  if (retained || payload.size() > kMaxCommandPayload) return message;
  if (topic == StatusTopic(names) || topic == kDefaultStatusTopic) {
    // Home Assistant's birth message is exactly "online"; its will, "offline", needs nothing.
    if (payload == kPayloadOnline) message.kind = IncomingMessage::Kind::kHomeAssistantOnline;
    return message;
  }
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    if (topic != OutletSetTopic(names, outlet)) continue;
    const std::string word = LowerAscii(payload);
    if (word == "on") {
      message.command = OutletCommand::kOn;
    } else if (word == "off") {
      message.command = OutletCommand::kOff;
    } else if (word == "toggle") {
      message.command = OutletCommand::kToggle;
    } else {
      return message;
    }
    message.kind = IncomingMessage::Kind::kSwitchOutlet;
    message.outlet = outlet;
    return message;
  }
  return message;
}

std::optional<std::string> TemperaturePayload(std::string_view shown_temperature) {
  return ShownTemperatureNumber(shown_temperature);
}

}  // namespace qx
