// The topics a PC publishes and listens to, and what an incoming message makes the program do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mqtt/topics.h"

namespace qx {
namespace {

const TopicNames kNames{"pc1", "homeassistant"};

IncomingMessage Switch(int outlet, OutletCommand command) {
  return {IncomingMessage::Kind::kSwitchOutlet, outlet, command};
}

const IncomingMessage kIgnored{};
const IncomingMessage kOnline{IncomingMessage::Kind::kHomeAssistantOnline, 0, OutletCommand::kOn};

TEST(MqttTopics, NamesOfAPc) {
  EXPECT_EQ(AvailabilityTopic(kNames), "quellarotix/pc1/availability");
  EXPECT_EQ(DeviceTopic(kNames), "quellarotix/pc1/device");
  EXPECT_EQ(TemperatureTopic(kNames), "quellarotix/pc1/temperature");
  EXPECT_EQ(OutletStateTopic(kNames, 3), "quellarotix/pc1/outlet/3/state");
  EXPECT_EQ(OutletSetTopic(kNames, 4), "quellarotix/pc1/outlet/4/set");
  EXPECT_EQ(AlarmTopicName(kNames, AlarmTopic::kBelow), "quellarotix/pc1/alarm/below");
  EXPECT_EQ(AlarmTopicName(kNames, AlarmTopic::kAbove), "quellarotix/pc1/alarm/above");
  EXPECT_EQ(AlarmTopicName(kNames, AlarmTopic::kSensorSilent), "quellarotix/pc1/alarm/sensor_silent");
  EXPECT_EQ(ClientId(kNames), "quellarotix_pc1");
}

TEST(MqttTopics, NamesComeFromTheSettingsWithTheHostsNodeUntilOneIsFixed) {
  MqttSettings settings;
  settings.prefix = "\xE4\xEE\xEC";  // дом
  EXPECT_EQ(TopicNamesOf(settings, "fallback").node, "fallback");
  EXPECT_EQ(TopicNamesOf(settings, "fallback").prefix, "\xD0\xB4\xD0\xBE\xD0\xBC");
  settings.node = "fixed";
  EXPECT_EQ(TopicNamesOf(settings, "fallback").node, "fixed");
}

TEST(MqttTopics, SubscriptionsListenToHomeAssistantAtItsPrefixAndAtTheDefault) {
  const std::vector<std::string> sets = {"quellarotix/pc1/outlet/1/set", "quellarotix/pc1/outlet/2/set",
                                         "quellarotix/pc1/outlet/3/set", "quellarotix/pc1/outlet/4/set"};
  std::vector<std::string> at_default = sets;
  at_default.push_back("homeassistant/status");
  EXPECT_EQ(SubscriptionTopics(kNames), at_default);
  std::vector<std::string> elsewhere = sets;
  elsewhere.push_back("ha/two/status");
  elsewhere.push_back("homeassistant/status");
  EXPECT_EQ(SubscriptionTopics({"pc1", "ha/two"}), elsewhere);
}

TEST(MqttIncoming, CommandsAndBirthMessagesAreTakenAndEverythingElseIgnored) {
  const std::string set2 = "quellarotix/pc1/outlet/2/set";
  const struct {
    const char* what;
    std::string topic;
    std::string payload;
    bool retained;
    IncomingMessage expected;
  } cases[] = {
      {"on", set2, "ON", false, Switch(2, OutletCommand::kOn)},
      {"off in lower case", "quellarotix/pc1/outlet/1/set", "off", false, Switch(1, OutletCommand::kOff)},
      {"toggle in mixed case", "quellarotix/pc1/outlet/4/set", "ToGgLe", false, Switch(4, OutletCommand::kToggle)},
      {"a retained command is a replay", set2, "ON", true, kIgnored},
      {"another payload", set2, "1", false, kIgnored},
      {"a payload with a blank", set2, "ON ", false, kIgnored},
      {"an empty payload", set2, "", false, kIgnored},
      {"a payload over 64 bytes", set2, std::string(65, 'x'), false, kIgnored},
      {"a command of 64 bytes is still no command", set2, "ON" + std::string(62, ' '), false, kIgnored},
      {"outlet 5", "quellarotix/pc1/outlet/5/set", "ON", false, kIgnored},
      {"outlet 0", "quellarotix/pc1/outlet/0/set", "ON", false, kIgnored},
      {"another PC's outlet", "quellarotix/pc2/outlet/2/set", "ON", false, kIgnored},
      {"a state topic", "quellarotix/pc1/outlet/2/state", "ON", false, kIgnored},
      {"a set topic with a tail", set2 + "/x", "ON", false, kIgnored},
      {"Home Assistant started", "homeassistant/status", "online", false, kOnline},
      {"its will", "homeassistant/status", "offline", false, kIgnored},
      {"its birth message retained", "homeassistant/status", "online", true, kIgnored},
      {"\"online\" is exact", "homeassistant/status", "Online", false, kIgnored},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseIncomingMessage(kNames, c.topic, c.payload, c.retained), c.expected) << c.what;
  }
  const TopicNames elsewhere{"pc1", "ha/two"};
  EXPECT_EQ(ParseIncomingMessage(elsewhere, "ha/two/status", "online", false), kOnline);
  EXPECT_EQ(ParseIncomingMessage(elsewhere, "homeassistant/status", "online", false), kOnline);
  EXPECT_EQ(ParseIncomingMessage(elsewhere, "ha/status", "online", false), kIgnored);
}

TEST(MqttTopics, TemperaturePayloadIsTheShownNumber) {
  EXPECT_EQ(TemperaturePayload("23.5 \xB0"
                               "C"),
            "23.5");
  EXPECT_EQ(TemperaturePayload("-4.0 \xB0"
                               "C"),
            "-4.0");
  EXPECT_EQ(TemperaturePayload("OFF"), std::nullopt);
}

}  // namespace
}  // namespace qx
