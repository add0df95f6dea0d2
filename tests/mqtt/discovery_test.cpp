// The discovery configs as Home Assistant reads them: each payload parsed as JSON and checked
// field by field, names that need escaping included.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "mqtt/discovery.h"
#include "tests/support/json_reader.h"

namespace qx {
namespace {

using test::JsonReader;
using test::JsonValue;

const TopicNames kNames{"pc1", "homeassistant"};
const DiscoveryDevice kDevice{"Office \"PC\"", "1.2.3"};

JsonValue Parsed(const RetainedMessage& message) {
  // Full field names only: no "~" abbreviating the base topic anywhere.
  EXPECT_EQ(message.payload.find('~'), std::string::npos) << message.payload;
  const std::optional<JsonValue> json = JsonReader::Read(message.payload);
  EXPECT_TRUE(json) << message.topic << ": " << message.payload;
  return json.value_or(JsonValue{});
}

std::string Text(const JsonValue& value) {
  EXPECT_EQ(value.kind, JsonValue::Kind::kString);
  return value.text;
}

// What every config says of the PC and of its availability.
void ExpectCommonFields(const JsonValue& config, const std::string& object, bool needs_device) {
  SCOPED_TRACE(object);
  EXPECT_EQ(Text(config["unique_id"]), "quellarotix_pc1_" + object);
  const JsonValue& device = config["device"];
  ASSERT_EQ(device["identifiers"].items.size(), 1u);
  EXPECT_EQ(Text(device["identifiers"][0]), "quellarotix_pc1");
  EXPECT_EQ(Text(device["name"]), "Office \"PC\"");
  EXPECT_EQ(Text(device["model"]), "SwitchUnit");
  EXPECT_EQ(Text(device["sw_version"]), "1.2.3");
  EXPECT_EQ(Text(config["origin"]["name"]), "Quellarotix");
  EXPECT_EQ(Text(config["origin"]["sw_version"]), "1.2.3");
  const JsonValue& availability = config["availability"];
  ASSERT_EQ(availability.items.size(), needs_device ? 2u : 1u);
  EXPECT_EQ(Text(availability[0]["topic"]), "quellarotix/pc1/availability");
  EXPECT_EQ(availability[0].members.size(), 1u);
  if (needs_device) {
    EXPECT_EQ(Text(availability[1]["topic"]), "quellarotix/pc1/device");
    EXPECT_EQ(Text(availability[1]["payload_available"]), "ON");
    EXPECT_EQ(Text(availability[1]["payload_not_available"]), "OFF");
    EXPECT_EQ(Text(config["availability_mode"]), "all");
  } else {
    EXPECT_FALSE(config.Has("availability_mode"));
  }
}

TEST(Discovery, TheSwitchesCarryTheOutletsNames) {
  const OutletNameTexts names = {"\xCD\xE0\xF1\xEE\xF1", "", "a\"b\\c\x01\td", "  "};
  const std::string expected_names[] = {"\xD0\x9D\xD0\xB0\xD1\x81\xD0\xBE\xD1\x81",                    // Насос
                                        "\xD0\xA0\xD0\xBE\xD0\xB7\xD0\xB5\xD1\x82\xD0\xBA\xD0\xB0 2",  // Розетка 2
                                        "a\"b\\c\x01\td", "\xD0\xA0\xD0\xBE\xD0\xB7\xD0\xB5\xD1\x82\xD0\xBA\xD0\xB0 4"};
  const std::vector<RetainedMessage> configs = DiscoveryConfigs(kNames, kDevice, names);
  ASSERT_EQ(configs.size(), 9u);
  for (int outlet = 1; outlet <= 4; ++outlet) {
    const RetainedMessage& message = configs[static_cast<std::size_t>(outlet - 1)];
    const std::string n = std::to_string(outlet);
    EXPECT_EQ(message.topic, "homeassistant/switch/pc1/outlet" + n + "/config");
    const JsonValue config = Parsed(message);
    EXPECT_EQ(Text(config["name"]), expected_names[outlet - 1]) << outlet;
    EXPECT_EQ(Text(config["device_class"]), "outlet");
    EXPECT_EQ(Text(config["command_topic"]), "quellarotix/pc1/outlet/" + n + "/set");
    EXPECT_EQ(Text(config["state_topic"]), "quellarotix/pc1/outlet/" + n + "/state");
    EXPECT_EQ(Text(config["payload_on"]), "ON");
    EXPECT_EQ(Text(config["payload_off"]), "OFF");
    EXPECT_EQ(Text(config["state_on"]), "ON");
    EXPECT_EQ(Text(config["state_off"]), "OFF");
    ExpectCommonFields(config, "outlet" + n, true);
    EXPECT_EQ(OutletDiscoveryConfig(kNames, kDevice, outlet, names[static_cast<std::size_t>(outlet - 1)]), message);
  }
}

TEST(Discovery, TheSensorsSayWhatTheyMeasure) {
  const std::vector<RetainedMessage> configs = DiscoveryConfigs(kNames, kDevice, {});
  ASSERT_EQ(configs.size(), 9u);

  EXPECT_EQ(configs[4].topic, "homeassistant/sensor/pc1/temperature/config");
  const JsonValue temperature = Parsed(configs[4]);
  EXPECT_EQ(Text(temperature["name"]),
            "\xD0\xA2\xD0\xB5\xD0\xBC\xD0\xBF\xD0\xB5\xD1\x80\xD0\xB0\xD1\x82\xD1\x83\xD1\x80\xD0\xB0");
  EXPECT_EQ(Text(temperature["device_class"]), "temperature");
  EXPECT_EQ(Text(temperature["state_class"]), "measurement");
  EXPECT_EQ(Text(temperature["unit_of_measurement"]),
            "\xC2\xB0"
            "C");
  EXPECT_EQ(temperature["suggested_display_precision"].text, "1");
  EXPECT_EQ(temperature["expire_after"].text, "120");
  EXPECT_EQ(temperature["expire_after"].kind, JsonValue::Kind::kNumber);
  EXPECT_EQ(Text(temperature["state_topic"]), "quellarotix/pc1/temperature");
  ExpectCommonFields(temperature, "temperature", true);

  const struct {
    std::size_t index;
    std::string object;
    std::string name;  // UTF-8
    std::string device_class;
    std::string state_topic;
  } binary[] = {
      {5, "usb", "USB", "connectivity", "quellarotix/pc1/device"},
      {6, "below", "\xD0\x9D\xD0\xB8\xD0\xB6\xD0\xB5 \xD0\xBF\xD1\x80\xD0\xB5\xD0\xB4\xD0\xB5\xD0\xBB\xD0\xB0",
       "problem", "quellarotix/pc1/alarm/below"},
      {7, "above", "\xD0\x92\xD1\x8B\xD1\x88\xD0\xB5 \xD0\xBF\xD1\x80\xD0\xB5\xD0\xB4\xD0\xB5\xD0\xBB\xD0\xB0",
       "problem", "quellarotix/pc1/alarm/above"},
      {8, "sensor_silent",
       "\xD0\x9D\xD0\xB5\xD1\x82 \xD0\xB4\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD1\x85 \xD0\xBE\xD1\x82 "
       "\xD0\xB4\xD0\xB0\xD1\x82\xD1\x87\xD0\xB8\xD0\xBA\xD0\xB0",
       "problem", "quellarotix/pc1/alarm/sensor_silent"},
  };
  for (const auto& b : binary) {
    SCOPED_TRACE(b.object);
    EXPECT_EQ(configs[b.index].topic, "homeassistant/binary_sensor/pc1/" + b.object + "/config");
    const JsonValue config = Parsed(configs[b.index]);
    EXPECT_EQ(Text(config["name"]), b.name);
    EXPECT_EQ(Text(config["device_class"]), b.device_class);
    EXPECT_EQ(Text(config["state_topic"]), b.state_topic);
    EXPECT_EQ(Text(config["payload_on"]), "ON");
    EXPECT_EQ(Text(config["payload_off"]), "OFF");
    // Only the connection is a diagnostic; the alarms are what the user watches.
    EXPECT_EQ(config.Has("entity_category"), b.object == "usb");
    if (b.object == "usb") {
      EXPECT_EQ(Text(config["entity_category"]), "diagnostic");
    }
    ExpectCommonFields(config, b.object, false);
  }
}

TEST(Discovery, RemovalEmptiesEveryConfigAndStateOfTheOldNames) {
  const TopicNames old_names{"old", "ha"};
  const std::vector<RetainedMessage> removal = RemovalMessages(old_names);
  std::set<std::string> topics;
  for (const RetainedMessage& message : removal) {
    EXPECT_TRUE(message.payload.empty()) << message.topic;
    topics.insert(message.topic);
  }
  std::set<std::string> expected;
  for (const RetainedMessage& config : DiscoveryConfigs(old_names, kDevice, {})) expected.insert(config.topic);
  for (const std::string& topic : RetainedStateTopics(old_names)) expected.insert(topic);
  EXPECT_EQ(topics, expected);
  EXPECT_EQ(removal.size(), 9u + 10u);
  EXPECT_TRUE(topics.count("ha/binary_sensor/old/sensor_silent/config"));
  EXPECT_TRUE(topics.count("quellarotix/old/outlet/4/state"));
  EXPECT_TRUE(topics.count("quellarotix/old/availability"));
}

}  // namespace
}  // namespace qx
