#include "automation/settings_file.h"

#include "automation/alarm_settings.h"
#include "model/widget_numbers.h"
#include "runtime/preferences.h"
#include "runtime/win32/widgets.h"

namespace qx {
namespace {

// Group names, Windows-1251: "Устройства", "При загрузке", "При выходе", "Часы", "Термометр".
constexpr char kNamesGroup[] = "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0";
constexpr char kStartupGroup[] = "\xCF\xF0\xE8 \xE7\xE0\xE3\xF0\xF3\xE7\xEA\xE5";
constexpr char kExitGroup[] = "\xCF\xF0\xE8 \xE2\xFB\xF5\xEE\xE4\xE5";
constexpr char kScheduleGroup[] = "\xD7\xE0\xF1\xFB";
constexpr char kThermostatGroup[] = "\xD2\xE5\xF0\xEC\xEE\xEC\xE5\xF2\xF0";

std::string OutletKey(int outlet) {
  return DecimalText(outlet);
}

}  // namespace

void LoadSettings(OutletNames& names, ScheduleTable& schedule, ThermostatTable& thermostat, AlarmSettings* alarms,
                  MqttSettings* mqtt) {
  // A missing file is no error: every read below then gives its default.
  (void)OpenPreferenceFile(kSettingsFileName);

  SelectGroup(kNamesGroup);
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    OutletName& name = names[static_cast<std::size_t>(outlet - 1)];
    name.Store(ReadText(OutletKey(outlet), name.Read()));
  }

  // The policies are keyed by the names just read, so a name the engine cannot find again as a
  // key (";" or "[" in front, "=" inside, a name cut to 19 characters) simply reads as unticked.
  SelectGroup(kStartupGroup);
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    if (ReadNumber(names[static_cast<std::size_t>(outlet - 1)].Read(), 0) != 1) continue;
    SetState(StartupBox(outlet), 1);
    SetState(OutletCheckBox(outlet), 1);
  }
  SelectGroup(kExitGroup);
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    if (ReadNumber(names[static_cast<std::size_t>(outlet - 1)].Read(), 0) == 1) SetState(ExitBox(outlet), 1);
  }

  // Values are cut to a signed byte as the tables hold them; the widgets decide later what an
  // out-of-range value means.
  SelectGroup(kScheduleGroup);
  for (int id = kFirstScheduleWidget; id <= kLastScheduleBox; ++id) {
    schedule[ScheduleSlot(id)] = static_cast<std::int8_t>(ReadNumber(DecimalText(id), 0));
  }
  SelectGroup(kThermostatGroup);
  for (int id = kFirstBandWidget; id <= kLastBandWidget; ++id) {
    thermostat[ThermostatSlot(id)] = static_cast<std::int8_t>(ReadNumber(DecimalText(id), 0));
  }
  if (alarms) *alarms = ReadAlarmSettings();
  if (mqtt) *mqtt = ReadMqttSettings();
  (void)ClosePreferenceFile();  // nothing was written, so nothing can fail
}

bool SaveSettings(const OutletNames& names, const AlarmSettings& alarms, const MqttSettings* mqtt) {
  if (!CreatePreferenceFile(kSettingsFileName)) return false;

  SelectGroup(kNamesGroup);
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    WriteText(OutletKey(outlet), names[static_cast<std::size_t>(outlet - 1)].Read());
  }
  SelectGroup(kStartupGroup);
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    WriteNumber(names[static_cast<std::size_t>(outlet - 1)].Read(), GetState(StartupBox(outlet)));
  }
  SelectGroup(kExitGroup);
  for (int outlet = 1; outlet <= kOutletCount; ++outlet) {
    WriteNumber(names[static_cast<std::size_t>(outlet - 1)].Read(), GetState(ExitBox(outlet)));
  }
  SelectGroup(kScheduleGroup);
  for (int id = kFirstScheduleWidget; id <= kLastScheduleBox; ++id) WriteNumber(DecimalText(id), GetState(id));
  // Ids 75..82 name no widget and are written as 0, keeping the file's shape.
  SelectGroup(kThermostatGroup);
  for (int id = kFirstBandWidget; id <= kLastBandWidget; ++id) WriteNumber(DecimalText(id), GetState(id));
  WriteAlarmSettings(alarms);
  if (mqtt) WriteMqttSettings(*mqtt);
  return ClosePreferenceFile();
}

}  // namespace qx
