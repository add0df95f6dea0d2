#include "automation/alarm_settings.h"

#include "runtime/preferences.h"

namespace qx {
namespace {

// Windows-1251: "Предупреждения"; keys "Ниже включено", "Ниже", "Выше включено", "Выше".
constexpr char kAlarmGroup[] = "\xCF\xF0\xE5\xE4\xF3\xEF\xF0\xE5\xE6\xE4\xE5\xED\xE8\xFF";
constexpr char kBelowOnKey[] = "\xCD\xE8\xE6\xE5 \xE2\xEA\xEB\xFE\xF7\xE5\xED\xEE";
constexpr char kBelowKey[] = "\xCD\xE8\xE6\xE5";
constexpr char kAboveOnKey[] = "\xC2\xFB\xF8\xE5 \xE2\xEA\xEB\xFE\xF7\xE5\xED\xEE";
constexpr char kAboveKey[] = "\xC2\xFB\xF8\xE5";

}  // namespace

AlarmSettings ReadAlarmSettings() {
  AlarmSettings settings;
  // Without the group the engine would go on reading the group selected before.
  if (!SelectGroup(kAlarmGroup)) return settings;
  settings.below_on = ReadNumber(kBelowOnKey, 0) == 1;
  settings.below = ClampAlarmLimit(ReadNumber(kBelowKey, settings.below));
  settings.above_on = ReadNumber(kAboveOnKey, 0) == 1;
  settings.above = ClampAlarmLimit(ReadNumber(kAboveKey, settings.above));
  return settings;
}

void WriteAlarmSettings(const AlarmSettings& settings) {
  if (settings == AlarmSettings{}) return;
  SelectGroup(kAlarmGroup);
  WriteNumber(kBelowOnKey, settings.below_on ? 1 : 0);
  WriteNumber(kBelowKey, settings.below);
  WriteNumber(kAboveOnKey, settings.above_on ? 1 : 0);
  WriteNumber(kAboveKey, settings.above);
}

}  // namespace qx
