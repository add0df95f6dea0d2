#pragma once
// The program's own texts, as the Windows-1251 bytes it shows and compares. The Russian wording is
// given in each comment; note the two degree texts: the tab title ends in a Latin "C", the unit
// labels in a Cyrillic "С".

#include "model/shown_texts.h"

namespace qx::ui {

inline constexpr char kMainTitle[] = "USB Quellarotix";
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

}  // namespace qx::ui
