#pragma once
// The program's own texts, as the Windows-1251 bytes it shows and compares. The Russian wording is
// given in each comment; note the two degree texts: the tab title ends in a Latin "C", the unit
// labels in a Cyrillic "С".

#include "model/shown_texts.h"

namespace qx::ui {

inline constexpr char kThermometerTitle[] = "Thermometer";

// Tab titles: "Основное", "При загрузке", "Автомат ЧЧ:ММ", " Автомат °C ".
inline constexpr char kMainTab[] = "\xCE\xF1\xED\xEE\xE2\xED\xEE\xE5";
inline constexpr char kPolicyTab[] = "\xCF\xF0\xE8 \xE7\xE0\xE3\xF0\xF3\xE7\xEA\xE5";
inline constexpr char kScheduleTab[] = "\xC0\xE2\xF2\xEE\xEC\xE0\xF2 \xD7\xD7:\xCC\xCC";
inline constexpr char kThermostatTab[] =
    " \xC0\xE2\xF2\xEE\xEC\xE0\xF2 \xB0"
    "C ";

// Frame captions: "Устройства", "Температура", "Включать при загрузке", "Оставить включенным".
inline constexpr char kOutletsFrame[] = "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0";
inline constexpr char kTemperatureFrame[] = "\xD2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xE0";
inline constexpr char kStartupFrame[] =
    "\xC2\xEA\xEB\xFE\xF7\xE0\xF2\xFC \xEF\xF0\xE8 \xE7\xE0\xE3\xF0\xF3\xE7\xEA\xE5";
inline constexpr char kExitFrame[] = "\xCE\xF1\xF2\xE0\xE2\xE8\xF2\xFC \xE2\xEA\xEB\xFE\xF7\xE5\xED\xED\xFB\xEC";

// Column headings "Включить" and "Выключить", and the unit "°С".
inline constexpr char kSwitchOn[] = "\xC2\xEA\xEB\xFE\xF7\xE8\xF2\xFC";
inline constexpr char kSwitchOff[] = "\xC2\xFB\xEA\xEB\xFE\xF7\xE8\xF2\xFC";
inline constexpr char kDegrees[] = "\xB0\xD1";

// Popup menu: "Термометр", "Выход", "Запускать при входе в Windows".
inline constexpr char kThermometerItem[] = "\xD2\xE5\xF0\xEC\xEE\xEC\xE5\xF2\xF0";
inline constexpr char kExitItem[] = "\xC2\xFB\xF5\xEE\xE4";
inline constexpr char kLogonItem[] =
    "\xC7\xE0\xEF\xF3\xF1\xEA\xE0\xF2\xFC \xEF\xF0\xE8 \xE2\xF5\xEE\xE4\xE5 \xE2 Windows";

// The history: menu item and window title "История", "История температуры"; the range buttons
// "24 часа", "7 дней", "30 дней"; "Загрузка…" while the records load, "Нет данных за этот
// период" when the range has none; "История не записывается:" before the writer's reason; and
// the axis unit "°C" (a Latin "C", as the chart's other texts).
inline constexpr char kHistoryItem[] = "\xC8\xF1\xF2\xEE\xF0\xE8\xFF";
inline constexpr char kHistoryTitle[] = "\xC8\xF1\xF2\xEE\xF0\xE8\xFF \xF2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xFB";
inline constexpr char kDayRange[] = "24 \xF7\xE0\xF1\xE0";
inline constexpr char kWeekRange[] = "7 \xE4\xED\xE5\xE9";
inline constexpr char kMonthRange[] = "30 \xE4\xED\xE5\xE9";
inline constexpr char kHistoryLoading[] = "\xC7\xE0\xE3\xF0\xF3\xE7\xEA\xE0\x85";
inline constexpr char kHistoryEmpty[] =
    "\xCD\xE5\xF2 \xE4\xE0\xED\xED\xFB\xF5 \xE7\xE0 \xFD\xF2\xEE\xF2 \xEF\xE5\xF0\xE8\xEE\xE4";
inline constexpr char kHistoryNotWritten[] =
    "\xC8\xF1\xF2\xEE\xF0\xE8\xFF \xED\xE5 \xE7\xE0\xEF\xE8\xF1\xFB\xE2\xE0\xE5\xF2\xF1\xFF:";
inline constexpr char kCelsius[] =
    "\xB0"
    "C";
// The alarm limits' row under the chart: "Предупреждать, если температура", the check boxes
// "ниже" and "выше"; their unit is kDegrees, as on the thermostat tab.
inline constexpr char kAlarmRowText[] =
    "\xCF\xF0\xE5\xE4\xF3\xEF\xF0\xE5\xE6\xE4\xE0\xF2\xFC, \xE5\xF1\xEB\xE8 "
    "\xF2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xE0";
inline constexpr char kBelowAlarm[] = "\xED\xE8\xE6\xE5";
inline constexpr char kAboveAlarm[] = "\xE2\xFB\xF8\xE5";

// The on markers of the menu items end in the currency sign "¤".
inline constexpr char kFirstOutletOn[] = " \xA4";
inline constexpr char kFirstOutletOff[] = "  ";
inline constexpr char kOutletOn[] = "  \xA4";
inline constexpr char kOutletOff[] = "   ";

// The warning when the settings could not be saved at exit: "Не удалось сохранить настройки:",
// followed by the settings file's full path on a line of its own.
inline constexpr char kSettingsNotSaved[] =
    "\xCD\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC \xF1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC "
    "\xED\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8:";

// The box when start at log-on could not be changed: "Не удалось изменить запуск при входе в
// Windows:", followed by the system's reason on a line of its own.
inline constexpr char kLogonNotChanged[] =
    "\xCD\xE5 \xF3\xE4\xE0\xEB\xEE\xF1\xFC \xE8\xE7\xEC\xE5\xED\xE8\xF2\xFC "
    "\xE7\xE0\xEF\xF3\xF1\xEA \xEF\xF0\xE8 \xE2\xF5\xEE\xE4\xE5 \xE2 Windows:";

// The MQTT window: menu item "Home Assistant (MQTT)", title "Связь с Home Assistant (MQTT)"; its
// check box is "Включить" (kSwitchOn); the labels "Сервер", "Порт", "Пользователь", "Пароль",
// "Префикс обнаружения", "Имя узла"; the button "Применить"; the sentence "Соединение не
// шифруется: используйте сервер в своей домашней сети."; a refused field: "Неверное значение в
// поле «", the field's label, "»". `mqtt` says of the password "задан" or "не задан".
inline constexpr char kMqttItem[] = "Home Assistant (MQTT)";
inline constexpr char kMqttTitle[] = "\xD1\xE2\xFF\xE7\xFC \xF1 Home Assistant (MQTT)";
inline constexpr char kMqttServer[] = "\xD1\xE5\xF0\xE2\xE5\xF0";
inline constexpr char kMqttPort[] = "\xCF\xEE\xF0\xF2";
inline constexpr char kMqttUser[] = "\xCF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFC";
inline constexpr char kMqttPassword[] = "\xCF\xE0\xF0\xEE\xEB\xFC";
inline constexpr char kMqttPrefix[] = "\xCF\xF0\xE5\xF4\xE8\xEA\xF1 \xEE\xE1\xED\xE0\xF0\xF3\xE6\xE5\xED\xE8\xFF";
inline constexpr char kMqttNode[] = "\xC8\xEC\xFF \xF3\xE7\xEB\xE0";
inline constexpr char kMqttApply[] = "\xCF\xF0\xE8\xEC\xE5\xED\xE8\xF2\xFC";
inline constexpr char kMqttUnencrypted[] =
    "\xD1\xEE\xE5\xE4\xE8\xED\xE5\xED\xE8\xE5 \xED\xE5 \xF8\xE8\xF4\xF0\xF3\xE5\xF2\xF1\xFF: "
    "\xE8\xF1\xEF\xEE\xEB\xFC\xE7\xF3\xE9\xF2\xE5 \xF1\xE5\xF0\xE2\xE5\xF0 \xE2 \xF1\xE2\xEE\xE5\xE9 "
    "\xE4\xEE\xEC\xE0\xF8\xED\xE5\xE9 \xF1\xE5\xF2\xE8.";
inline constexpr char kMqttBadField[] =
    "\xCD\xE5\xE2\xE5\xF0\xED\xEE\xE5 \xE7\xED\xE0\xF7\xE5\xED\xE8\xE5 \xE2 \xEF\xEE\xEB\xE5 \xAB";
inline constexpr char kMqttBadFieldEnd[] = "\xBB";
inline constexpr char kPasswordSet[] = "\xE7\xE0\xE4\xE0\xED";
inline constexpr char kPasswordNotSet[] = "\xED\xE5 \xE7\xE0\xE4\xE0\xED";

}  // namespace qx::ui
