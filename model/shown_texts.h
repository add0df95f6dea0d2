#pragma once
// The texts that the device link and the alarms show as well as the windows, as Windows-1251
// bytes. The rest of the program's texts are in app/ui_texts.h, which includes these.

namespace qx::ui {

// The main window's title, and the title of the tray's notifications.
inline constexpr char kMainTitle[] = "USB Quellarotix";

// The temperature places' text while there is no reading.
inline constexpr char kNoReading[] = "OFF";
// "USB отключен": the status bar's text without a SwitchUnit, and the no-device message.
inline constexpr char kDeviceUnplugged[] = "USB \xEE\xF2\xEA\xEB\xFE\xF7\xE5\xED";
// " °C" after a reading: a blank, the degree sign and a Latin capital C.
inline constexpr char kDegreesCelsius[] =
    " \xB0"
    "C";

}  // namespace qx::ui
