// The MQTT group of the settings file, through the real preference engine and a real file: what
// is read back from what a user's file may hold, what is written, and that a file of a user who
// never touched MQTT stays byte for byte as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "mqtt/mqtt_names.h"
#include "mqtt/mqtt_settings.h"
#include "runtime/preferences.h"
#include "tests/support/settings_groups.h"

namespace qx {
namespace {

const char kFile[] = "mqtt_settings_test.ini";

// The group and keys as the file has them, written out here rather than taken from the program:
// "Включено", "Сервер", "Порт", "Пользователь", "Пароль", "Префикс", "Узел".
const std::string& kGroup = test::kMqttGroup;
const std::string kEnabled = "\xC2\xEA\xEB\xFE\xF7\xE5\xED\xEE";
const std::string kServer = "\xD1\xE5\xF0\xE2\xE5\xF0";
const std::string kPort = "\xCF\xEE\xF0\xF2";
const std::string kUser = "\xCF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFC";
const std::string kPassword = "\xCF\xE0\xF0\xEE\xEB\xFC";
const std::string kPrefix = "\xCF\xF0\xE5\xF4\xE8\xEA\xF1";
const std::string kNode = "\xD3\xE7\xE5\xEB";

std::string Line(const std::string& key, const std::string& value) {
  return key + " = " + value + "\r\n";
}

void WriteFile(const std::string& bytes) {
  std::ofstream(kFile, std::ios::binary | std::ios::trunc) << bytes;
}

std::string FileBytes() {
  std::ifstream in(kFile, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Reads the group from `bytes` as the program's first reading does.
MqttSettings ReadFrom(const std::string& bytes) {
  WriteFile(bytes);
  EXPECT_TRUE(OpenPreferenceFile(kFile));
  const MqttSettings settings = ReadMqttSettings();
  EXPECT_TRUE(ClosePreferenceFile());
  return settings;
}

// A file as SaveSettings writes it: another group, then the MQTT group.
std::string WrittenWith(const MqttSettings& settings) {
  std::remove(kFile);
  EXPECT_TRUE(CreatePreferenceFile(kFile));
  SelectGroup("\xD7\xE0\xF1\xFB");  // Часы
  WriteNumber("41", 7);
  WriteMqttSettings(settings);
  EXPECT_TRUE(ClosePreferenceFile());
  return FileBytes();
}

MqttSettings Settings(bool enabled, std::string server, int port, std::string user, std::string password,
                      std::string prefix, std::string node) {
  return {enabled, std::move(server), port, std::move(user), std::move(password), std::move(prefix), std::move(node)};
}

TEST(MqttSettingsGroup, ReadsValuesAndFallsBackToTheDefaultForOnesThatBreakTheirRule) {
  const MqttSettings defaults;
  const struct {
    const char* what;
    std::string group;
    MqttSettings expected;
  } cases[] = {
      {"no group at all", "", defaults},
      {"every key set",
       kGroup + Line(kEnabled, "1") + Line(kServer, "broker.lan") + Line(kPort, "8883") +
           Line(kUser, "\xC8\xE2\xE0\xED") + Line(kPassword, "AQID+/==") + Line(kPrefix, "ha/test") +
           Line(kNode, "kitchen-pc"),
       Settings(true, "broker.lan", 8883, "\xC8\xE2\xE0\xED", "AQID+/==", "ha/test", "kitchen-pc")},
      {"an IPv6 server is kept bare", kGroup + Line(kServer, "fd00::1"),
       Settings(false, "fd00::1", 1883, "", "", "homeassistant", "")},
      {"a switch other than 1 is off", kGroup + Line(kEnabled, "2") + Line(kPort, "1884"),
       Settings(false, "", 1884, "", "", "homeassistant", "")},
      {"port 0", kGroup + Line(kPort, "0"), defaults},
      {"port 65536", kGroup + Line(kPort, "65536"), defaults},
      {"port -1", kGroup + Line(kPort, "-1"), defaults},
      {"port 65535 is the last one", kGroup + Line(kPort, "65535"),
       Settings(false, "", 65535, "", "", "homeassistant", "")},
      {"a prefix with a wildcard", kGroup + Line(kPrefix, "home/+"), defaults},
      {"a prefix with an empty level", kGroup + Line(kPrefix, "home//x"), defaults},
      {"a prefix ending in /", kGroup + Line(kPrefix, "home/"), defaults},
      {"a node with a dot", kGroup + Line(kNode, "pc.home"), defaults},
      {"a node in capitals is lowered", kGroup + Line(kNode, "Office_PC"),
       Settings(false, "", 1883, "", "", "homeassistant", "office_pc")},
      {"a server with a space", kGroup + Line(kServer, "my broker"), defaults},
      {"a server in brackets", kGroup + Line(kServer, "[::1]"), defaults},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadFrom(test::kScheduleGroup + "41 = 7\r\n" + c.group), c.expected) << c.what;
  }
}

TEST(MqttSettingsGroup, WritesOnlyTheValuesThatDifferFromTheirDefaults) {
  const std::string before = test::kScheduleGroup + "41 = 7\r\n";
  const struct {
    const char* what;
    MqttSettings settings;
    std::string group;
  } cases[] = {
      {"all defaults: no group", MqttSettings{}, ""},
      {"only switched on", Settings(true, "", 1883, "", "", "homeassistant", ""), kGroup + Line(kEnabled, "1")},
      {"server, node and a blob", Settings(true, "10.0.0.2", 1883, "", "QUJD", "homeassistant", "pc1"),
       kGroup + Line(kEnabled, "1") + Line(kServer, "10.0.0.2") + Line(kPassword, "QUJD") + Line(kNode, "pc1")},
      {"switched off again, the rest kept", Settings(false, "h", 1884, "u", "", "p", "n"),
       kGroup + Line(kServer, "h") + Line(kPort, "1884") + Line(kUser, "u") + Line(kPrefix, "p") + Line(kNode, "n")},
  };
  for (const auto& c : cases) {
    const std::string bytes = WrittenWith(c.settings);
    EXPECT_EQ(bytes, before + c.group) << c.what;
    EXPECT_EQ(ReadFrom(bytes), c.settings) << c.what << ": read back";
  }
}

TEST(MqttSettingsGroup, AFileWithoutMqttIsWrittenBackByteForByte) {
  const std::string file = test::kNamesGroup + "1 = \xCD\xE0\xF1\xEE\xF1\r\n" + test::kScheduleGroup + "41 = 7\r\n" +
                           test::kAlarmGroup + "\xCD\xE8\xE6\xE5 = 10\r\n";
  const MqttSettings read = ReadFrom(file);
  EXPECT_EQ(read, MqttSettings{});
  // The same groups written again in the same order, then the MQTT group as read.
  std::remove(kFile);
  ASSERT_TRUE(CreatePreferenceFile(kFile));
  SelectGroup("\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0");
  WriteText("1", "\xCD\xE0\xF1\xEE\xF1");
  SelectGroup("\xD7\xE0\xF1\xFB");
  WriteNumber("41", 7);
  SelectGroup("\xCF\xF0\xE5\xE4\xF3\xEF\xF0\xE5\xE6\xE4\xE5\xED\xE8\xFF");
  WriteNumber("\xCD\xE8\xE6\xE5", 10);
  WriteMqttSettings(read);
  ASSERT_TRUE(ClosePreferenceFile());
  EXPECT_EQ(FileBytes(), file);
}

TEST(NodeIdRule, HostNamesBecomeNodesThatStayApart) {
  const struct {
    std::string host;
    std::string node;
  } cases[] = {
      {"kitchen-pc", "kitchen-pc"},
      {"KITCHEN_PC", "kitchen_pc"},  // lowering alone turns nothing
      {"pc.home", "pc_home_8cb5e611"},
      {"PC.home", "pc_home_d94d2751"},
      {"my pc", "my_pc_663b4e88"},
      // One Cyrillic letter (two bytes in UTF-8) is one "_".
      {"\xD0\xBF\xD0\xBA-1", "__-1_72cef078"},
      // A stray byte that is no UTF-8 is one character too.
      {"a\xFF"
       "b",
       "a_b_1c91eb11"},
      {"", "_811c9dc5"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NodeIdForHostName(c.host), c.node) << c.host;
    EXPECT_TRUE(NormalizedNodeId(NodeIdForHostName(c.host))) << c.host;
  }
  // FNV-1a 32 of known inputs, as the algorithm's published description computes them.
  EXPECT_EQ(Fnv1a32(""), 0x811C9DC5u);
  EXPECT_EQ(Fnv1a32("a"), 0xE40C292Cu);
  EXPECT_EQ(Fnv1a32("foobar"), 0xBF9CF968u);
}

}  // namespace
}  // namespace qx
