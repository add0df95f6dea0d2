// The settings file against the real main window: what a known state writes, byte for byte, and
// what hand-written files with every quirk the engine allows load into the names, boxes and tables.
#include "automation/settings_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/widget_ids.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"
#include "tests/support/settings_groups.h"

namespace qx {
namespace {

// Windows-1251: "Насос".
const std::string kPump = "\xCD\xE0\xF1\xEE\xF1";
using qx::test::kAlarmGroup;
using qx::test::kExitGroup;
using qx::test::kNamesGroup;
using qx::test::kScheduleGroup;
using qx::test::kStartupGroup;
using qx::test::kThermostatGroup;

std::string Slurp() {
  std::ifstream in(kSettingsFileName, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const std::string& bytes) {
  std::ofstream out(kSettingsFileName, std::ios::binary | std::ios::trunc);
  out << bytes;
}

OutletNames Names(const std::vector<std::string>& texts) {
  OutletNames names;
  for (std::size_t i = 0; i < names.size(); ++i) names[i].Store(texts[i]);
  return names;
}

std::vector<std::string> Read(const OutletNames& names) {
  std::vector<std::string> texts;
  for (const OutletName& name : names) texts.push_back(name.Read());
  return texts;
}

// Outlet n's state as bit n-1, for widgets first..first+3.
int Ticked(int first) {
  int bits = 0;
  for (int n = 0; n < 4; ++n) bits |= (GetState(first + n) == 1 ? 1 : 0) << n;
  return bits;
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::remove(kSettingsFileName); }
  void TearDown() override { ShutdownWindowLayer(); }
};

TEST_F(SettingsFileTest, KnownStateIsWrittenByteForByte) {
  const OutletNames names = Names({"Lamp", kPump, "Heater", "Fan"});
  ASSERT_TRUE(BuildMainWindow(names));
  SetState(StartupBox(1), 1);
  SetState(StartupBox(3), 1);
  SetState(ExitBox(2), 1);
  SetState(ExitBox(4), 1);
  SetState(41, 9);   // 08
  SetState(42, 31);  // 30
  SetState(49, 18);  // 17
  SetState(50, 1);   // 00
  SetState(67, 20);
  SetState(68, 25);
  SetState(74, -5);
  SetState(1, 1);  // outlet states themselves are not kept
  (void)SaveSettings(names, {});

  std::string expected = kNamesGroup + "1 = Lamp\r\n2 = " + kPump + "\r\n3 = Heater\r\n4 = Fan\r\n" + kStartupGroup +
                         "Lamp = 1\r\n" + kPump + " = 0\r\nHeater = 1\r\nFan = 0\r\n" + kExitGroup + "Lamp = 0\r\n" +
                         kPump + " = 1\r\nHeater = 0\r\nFan = 1\r\n" + kScheduleGroup + "41 = 9\r\n42 = 31\r\n";
  for (int id = 43; id <= 48; ++id) expected += std::to_string(id) + " = 0\r\n";
  expected += "49 = 18\r\n50 = 1\r\n";
  for (int id = 51; id <= 56; ++id) expected += std::to_string(id) + " = 0\r\n";
  expected += kThermostatGroup + "67 = 20\r\n68 = 25\r\n";
  for (int id = 69; id <= 73; ++id) expected += std::to_string(id) + " = 0\r\n";
  expected += "74 = -5\r\n";
  for (int id = 75; id <= 82; ++id) expected += std::to_string(id) + " = 0\r\n";

  const std::string written = Slurp();
  EXPECT_EQ(written, expected);
  std::size_t lines = 0;
  for (std::size_t at = written.find("\r\n"); at != std::string::npos; at = written.find("\r\n", at + 2)) ++lines;
  EXPECT_EQ(lines, 49u);
}

TEST_F(SettingsFileTest, EqualNamesShareOneKeyHoldingTheLastState) {
  const OutletNames names = Names({"Lamp", "LAMP", "Lamp", "Fan"});
  ASSERT_TRUE(BuildMainWindow(names));
  SetState(StartupBox(1), 1);  // outlet 2 "LAMP" unticked, outlet 3 "Lamp" ticked: the last wins
  SetState(StartupBox(3), 1);
  SetState(ExitBox(1), 1);  // outlet 3 unticked at exit: the shared key reads 0
  (void)SaveSettings(names, {});
  const std::string text = Slurp();
  EXPECT_NE(text.find(kStartupGroup + "Lamp = 1\r\nFan = 0\r\n" + kExitGroup + "Lamp = 0\r\nFan = 0\r\n"),
            std::string::npos)
      << text;
}

struct LoadCase {
  const char* what;
  std::string file;
  std::vector<std::string> names;
  int startup;  // bits of ticked start-up boxes (outlet n = bit n-1); the outlets follow them
  int exit;     // bits of ticked exit boxes
  std::vector<std::pair<int, int>> table_slots;  // (widget id, expected table value)
};

class SettingsLoadTest : public SettingsFileTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(SettingsLoadTest, SecondLoadTicksAndFillsTables) {
  const LoadCase& c = GetParam();
  Put(c.file);
  // As at start-up: the first reading builds the window from its names, the second ticks boxes.
  OutletNames names;
  ScheduleTable schedule{};
  ThermostatTable thermostat{};
  LoadSettings(names, schedule, thermostat, nullptr);
  ASSERT_TRUE(BuildMainWindow(names));
  LoadSettings(names, schedule, thermostat, nullptr);

  EXPECT_EQ(Read(names), c.names);
  EXPECT_EQ(Ticked(StartupBox(1)), c.startup);
  EXPECT_EQ(Ticked(OutletCheckBox(1)), c.startup);
  EXPECT_EQ(Ticked(ExitBox(1)), c.exit);
  for (const auto& [id, value] : c.table_slots) {
    const int stored =
        id <= 64 ? schedule[static_cast<std::size_t>(id - 40)] : thermostat[static_cast<std::size_t>(id - 66)];
    EXPECT_EQ(stored, value) << "widget " << id;
  }
}

INSTANTIATE_TEST_SUITE_P(
    HandWritten, SettingsLoadTest,
    ::testing::Values(
        LoadCase{"equal names, ASCII case ignored",
                 kNamesGroup + "1 = Lamp\r\n2 = LAMP\r\n3 = Lamp\r\n4 = Fan\r\n" + kStartupGroup +
                     "lamp = 1\r\nFan = 0\r\n" + kExitGroup + "Fan = 1\r\n",
                 {"Lamp", "LAMP", "Lamp", "Fan"},
                 0b0111,
                 0b1000,
                 {}},
        LoadCase{"an empty name is a key too",
                 kNamesGroup + "1 = \r\n2 = B\r\n" + kStartupGroup + " = 1\r\nB = 0\r\n" + kExitGroup + " = 1\r\n",
                 {"", "B", "", ""},
                 0b1101,
                 0b1101,
                 {}},
        LoadCase{"';' makes the policy line a comment, '=' cuts the key",
                 kNamesGroup + "1 = ;x\r\n2 = a=b\r\n3 = C\r\n4 = D\r\n" + kStartupGroup +
                     ";x = 1\r\na=b = 1\r\nC = 1\r\nD = 1\r\n",
                 {";x", "a=b", "C", "D"},
                 0b1100,
                 0,
                 {}},
        LoadCase{"'[' starts a group: that outlet and the later ones read 0",
                 kNamesGroup + "1 = A\r\n2 = [B\r\n3 = C\r\n4 = D\r\n" + kStartupGroup +
                     "A = 1\r\n[B = 1\r\nC = 1\r\nD = 1\r\n" + kExitGroup + "A = 1\r\nC = 1\r\n",
                 {"A", "[B", "C", "D"},
                 0b0001,
                 0b0101,
                 {}},
        LoadCase{"blanks around names are lost in name and key alike",
                 kNamesGroup + "1 =   Lamp \t\r\n" + kStartupGroup + "  Lamp\t = 1\r\n",
                 {"Lamp", "", "", ""},
                 0b0001,
                 0,
                 {}},
        LoadCase{"a long name is cut, its long policy key no longer found",
                 kNamesGroup + "1 = ABCDEFGHIJKLMNOPQRSTUV\r\n2 = ABCDEFGHIJKLMNOPQRS\r\n" + kStartupGroup +
                     "ABCDEFGHIJKLMNOPQRSTUV = 1\r\n",
                 {"ABCDEFGHIJKLMNOPQRS", "ABCDEFGHIJKLMNOPQRS", "", ""},
                 0,
                 0,
                 {}},
        LoadCase{"flags other than 1 tick nothing",
                 kNamesGroup + "1 = A\r\n2 = B\r\n3 = C\r\n4 = D\r\n" + kStartupGroup +
                     "A = 2\r\nB = yes\r\nC = -1\r\nD = 1abc\r\n" + kExitGroup + "A = 01\r\nB = 10\r\n",
                 {"A", "B", "C", "D"},
                 0b1000,
                 0b0001,
                 {}},
        LoadCase{"numbers are cut to a signed byte",
                 kScheduleGroup + "41 = 300\r\n42 = -1\r\n43 = word\r\n56 = 24\r\n" + kThermostatGroup +
                     "67 = -99\r\n68 = 200\r\n74 = 99\r\n75 = 5\r\n82 = -7\r\n",
                 {"", "", "", ""},
                 0,
                 0,
                 {{41, 44}, {42, -1}, {43, 0}, {56, 24}, {67, -99}, {68, -56}, {74, 99}, {75, 5}, {82, -7}}},
        LoadCase{"extra groups and comments are read past",
                 "; hand-written\r\n[Other]\r\n1 = X\r\n" + kNamesGroup +
                     "; outlet one\r\n1 = Lamp\r\n[Other]\r\nLamp = 1\r\n" + kStartupGroup + "Lamp = 1\r\n",
                 {"Lamp", "", "", ""},
                 0b0001,
                 0,
                 {}}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return "case" + std::to_string(info.index); });

TEST_F(SettingsFileTest, LoadedValuesReachTheWidgetsOnlyWhereTheyExist) {
  Put(kNamesGroup + "1 = A\r\n" + kStartupGroup + "A = 1\r\n" + kExitGroup + "A = 1\r\n");
  OutletNames names;
  ScheduleTable schedule{};
  ThermostatTable thermostat{};
  // The first reading at start-up: no widget exists, the names and tables are filled all the same.
  LoadSettings(names, schedule, thermostat, nullptr);
  EXPECT_EQ(names[0].Read(), "A");
  ASSERT_TRUE(BuildMainWindow(names));
  EXPECT_EQ(Ticked(StartupBox(1)), 0);
  EXPECT_EQ(Ticked(OutletCheckBox(1)), 0);
}

TEST_F(SettingsFileTest, MissingKeyKeepsTheNameAnEmptyValueEmptiesIt) {
  Put(kNamesGroup + "1 = \r\n3 = New\r\n");
  OutletNames names = Names({"One", "Two", "Three", "Four"});
  ScheduleTable schedule{};
  ThermostatTable thermostat{};
  LoadSettings(names, schedule, thermostat, nullptr);
  EXPECT_EQ(Read(names), (std::vector<std::string>{"", "Two", "New", "Four"}));
}

TEST_F(SettingsFileTest, NoFileGivesDefaultsAndCreatesNothing) {
  OutletNames names;
  ScheduleTable schedule{};
  ThermostatTable thermostat{};
  LoadSettings(names, schedule, thermostat, nullptr);
  ASSERT_TRUE(BuildMainWindow(names));
  LoadSettings(names, schedule, thermostat, nullptr);
  EXPECT_EQ(Read(names), (std::vector<std::string>{"", "", "", ""}));
  EXPECT_EQ(Ticked(StartupBox(1)) | Ticked(ExitBox(1)) | Ticked(OutletCheckBox(1)), 0);
  EXPECT_EQ(schedule, ScheduleTable{});
  EXPECT_EQ(thermostat, ThermostatTable{});
  EXPECT_FALSE(std::filesystem::exists(kSettingsFileName));
}

TEST_F(SettingsFileTest, SaveDropsHandAdditionsAndRoundTrips) {
  Put("; mine\r\n[Other]\r\nx = 1\r\n" + kNamesGroup + "1 = Lamp\r\n" + kStartupGroup + "Lamp = 1\r\n" +
      kScheduleGroup + "41 = 9\r\n" + kThermostatGroup + "67 = -12\r\n");
  OutletNames names;
  ScheduleTable schedule{};
  ThermostatTable thermostat{};
  LoadSettings(names, schedule, thermostat, nullptr);
  ASSERT_TRUE(BuildMainWindow(names));
  LoadSettings(names, schedule, thermostat, nullptr);
  SetState(41, schedule[1]);
  SetState(67, thermostat[1]);
  (void)SaveSettings(names, {});
  const std::string text = Slurp();
  EXPECT_EQ(text.find("mine"), std::string::npos);
  EXPECT_EQ(text.find("Other"), std::string::npos);
  EXPECT_EQ(text.rfind(kNamesGroup, 0), 0u);
  EXPECT_NE(text.find(kStartupGroup + "Lamp = 1\r\n"), std::string::npos);
  EXPECT_NE(text.find("41 = 9\r\n"), std::string::npos);
  EXPECT_NE(text.find("67 = -12\r\n"), std::string::npos);
}

// Windows-1251 keys: "Ниже включено", "Ниже", "Выше включено", "Выше".
const std::string kBelowOn = "\xCD\xE8\xE6\xE5 \xE2\xEA\xEB\xFE\xF7\xE5\xED\xEE";
const std::string kBelow = "\xCD\xE8\xE6\xE5";
const std::string kAboveOn = "\xC2\xFB\xF8\xE5 \xE2\xEA\xEB\xFE\xF7\xE5\xED\xEE";
const std::string kAbove = "\xC2\xFB\xF8\xE5";

std::string AlarmGroup(int below_on, int below, int above_on, int above) {
  return kAlarmGroup + kBelowOn + " = " + std::to_string(below_on) + "\r\n" + kBelow + " = " + std::to_string(below) +
         "\r\n" + kAboveOn + " = " + std::to_string(above_on) + "\r\n" + kAbove + " = " + std::to_string(above) +
         "\r\n";
}

// Two start-ups and an exit as the program makes them: the limits (and the MQTT settings, where
// given) read by the first reading only, the file written from the widgets and the limits.
std::string LoadAndSaveAgain(AlarmSettings& alarms, MqttSettings* mqtt = nullptr) {
  OutletNames names;
  ScheduleTable schedule{};
  ThermostatTable thermostat{};
  LoadSettings(names, schedule, thermostat, &alarms, mqtt);
  if (!BuildMainWindow(names)) return "no window";
  LoadSettings(names, schedule, thermostat, nullptr);
  for (int id = kFirstScheduleWidget; id <= kLastScheduleBox; ++id) SetState(id, schedule[ScheduleSlot(id)]);
  for (int id = kFirstBandWidget; id <= kLastBandWidget; ++id) SetState(id, thermostat[ThermostatSlot(id)]);
  (void)SaveSettings(names, alarms, mqtt);
  ShutdownWindowLayer();
  return Slurp();
}

// The five groups of the widgets as a save writes them, with a few values set.
std::string FiveGroups() {
  std::string five = kNamesGroup + "1 = A\r\n2 = B\r\n3 = C\r\n4 = D\r\n" + kStartupGroup +
                     "A = 1\r\nB = 0\r\nC = 0\r\nD = 0\r\n" + kExitGroup + "A = 0\r\nB = 1\r\nC = 0\r\nD = 0\r\n" +
                     kScheduleGroup;
  for (int id = 41; id <= 56; ++id) five += std::to_string(id) + " = " + (id == 41 ? "9" : "0") + "\r\n";
  five += kThermostatGroup;
  for (int id = 67; id <= 82; ++id) five += std::to_string(id) + " = " + (id == 68 ? "-7" : "0") + "\r\n";
  return five;
}

TEST_F(SettingsFileTest, AlarmLimitsReadWrittenAndLeftOutWhileAtTheirDefaults) {
  struct AlarmCase {
    const char* what;
    std::string group;  // after the five groups
    AlarmSettings read;
    std::string written;  // the group as saved again
  };
  const AlarmCase cases[] = {
      {"no group: the defaults, and still no group", "", {}, ""},
      {"set limits come back as they were", AlarmGroup(1, -5, 1, 45), {true, -5, true, 45}, AlarmGroup(1, -5, 1, 45)},
      {"a limit beyond -99..99 is the nearest end",
       AlarmGroup(1, -150, 0, 1000),
       {true, -99, false, 99},
       AlarmGroup(1, -99, 0, 99)},
      {"missing keys give their defaults; switches other than 1 are off",
       kAlarmGroup + kAboveOn + " = 2\r\n" + kAbove + " = 25\r\n",
       {false, 18, false, 25},
       AlarmGroup(0, 18, 0, 25)},
      {"a group at its defaults is not written again", AlarmGroup(0, 18, 0, 30), {}, ""},
      {"its keys in the group before it are not its own", kBelowOn + " = 1\r\n" + kBelow + " = 3\r\n", {}, ""},
  };
  const std::string five = FiveGroups();

  for (const AlarmCase& c : cases) {
    SCOPED_TRACE(c.what);
    Put(five + c.group);
    AlarmSettings alarms{true, 1, true, 2};  // whatever the program held before: the file decides
    EXPECT_EQ(LoadAndSaveAgain(alarms), five + c.written);
    EXPECT_EQ(alarms, c.read);
  }
}

TEST_F(SettingsFileTest, MqttGroupComesLastAndOnlyWhenSomethingIsSet) {
  // "Включено", "Сервер", "Узел".
  const std::string mqtt_group = test::kMqttGroup +
                                 "\xC2\xEA\xEB\xFE\xF7\xE5\xED\xEE = 1\r\n\xD1\xE5\xF0\xE2\xE5\xF0 = "
                                 "broker.lan\r\n\xD3\xE7\xE5\xEB = pc1\r\n";
  const std::string five = FiveGroups();
  const struct {
    const char* what;
    std::string file;
    bool enabled;
  } cases[] = {
      {"a user who never touched MQTT: the same bytes", five + AlarmGroup(1, 5, 0, 30), false},
      {"after the alarm limits", five + AlarmGroup(1, 5, 0, 30) + mqtt_group, true},
      {"without alarm limits, after the thermostat", five + mqtt_group, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Put(c.file);
    AlarmSettings alarms;
    MqttSettings mqtt;
    mqtt.node = "held before";  // the file decides
    EXPECT_EQ(LoadAndSaveAgain(alarms, &mqtt), c.file);
    EXPECT_EQ(mqtt.enabled, c.enabled);
    EXPECT_EQ(mqtt.node, c.enabled ? "pc1" : "");
  }
}

TEST_F(SettingsFileTest, FileThatCannotBeWrittenStaysAsItWas) {
  const std::string old = kNamesGroup + "1 = Old\r\n";
  Put(old);
  const OutletNames names = Names({"New", "", "", ""});
  ASSERT_TRUE(BuildMainWindow(names));
  {
    // Held by another program that shares it with nobody (tests run with rights that a
    // read-only attribute would not stop).
    HANDLE held = CreateFileA(kSettingsFileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SaveSettings(names, {}));
    CloseHandle(held);
  }
  EXPECT_EQ(Slurp(), old);
}

}  // namespace
}  // namespace qx
