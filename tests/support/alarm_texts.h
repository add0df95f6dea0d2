#pragma once
// The alarms' notification texts as the tests expect them, Windows-1251. Written out here rather
// than taken from the program, so a wrong byte in the program fails the tests.

#include <string>

namespace qx::test {

inline const std::string kDegreesC =
    " \xB0"
    "C";

// "Температура 14.5 °C ниже 18 °C", "... выше ...", "Температура снова в норме: 20.0 °C".
inline std::string BelowText(const std::string& reading, const std::string& limit) {
  return "\xD2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xE0 " + reading + kDegreesC + " \xED\xE8\xE6\xE5 " + limit +
         kDegreesC;
}
inline std::string AboveText(const std::string& reading, const std::string& limit) {
  return "\xD2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xE0 " + reading + kDegreesC + " \xE2\xFB\xF8\xE5 " + limit +
         kDegreesC;
}
inline std::string NormalText(const std::string& reading) {
  return "\xD2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xE0 \xF1\xED\xEE\xE2\xE0 \xE2 \xED\xEE\xF0\xEC\xE5: " + reading +
         kDegreesC;
}
// "Нет данных от датчика температуры." and the same with " Термостат выключил свои розетки."
inline const std::string kSilentText =
    "\xCD\xE5\xF2 \xE4\xE0\xED\xED\xFB\xF5 \xEE\xF2 \xE4\xE0\xF2\xF7\xE8\xEA\xE0 "
    "\xF2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xFB.";
inline const std::string kSilentThermostatText =
    kSilentText +
    " \xD2\xE5\xF0\xEC\xEE\xF1\xF2\xE0\xF2 \xE2\xFB\xEA\xEB\xFE\xF7\xE8\xEB \xF1\xE2\xEE\xE8 "
    "\xF0\xEE\xE7\xE5\xF2\xEA\xE8.";
// "USB отключен: расписание и термостат не работают".
inline const std::string kGoneText =
    "USB \xEE\xF2\xEA\xEB\xFE\xF7\xE5\xED: \xF0\xE0\xF1\xEF\xE8\xF1\xE0\xED\xE8\xE5 \xE8 "
    "\xF2\xE5\xF0\xEC\xEE\xF1\xF2\xE0\xF2 \xED\xE5 \xF0\xE0\xE1\xEE\xF2\xE0\xFE\xF2";

}  // namespace qx::test
