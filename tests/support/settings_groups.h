#pragma once
// The settings file's group lines as the tests expect them byte for byte: Windows-1251 names in
// brackets, CR LF. Written out here rather than taken from the program, so a wrong name in the
// program fails the tests.

#include <string>

namespace qx::test {

inline const std::string kNamesGroup = "[\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0]\r\n";        // Устройства
inline const std::string kStartupGroup = "[\xCF\xF0\xE8 \xE7\xE0\xE3\xF0\xF3\xE7\xEA\xE5]\r\n";  // При загрузке
inline const std::string kExitGroup = "[\xCF\xF0\xE8 \xE2\xFB\xF5\xEE\xE4\xE5]\r\n";             // При выходе
inline const std::string kScheduleGroup = "[\xD7\xE0\xF1\xFB]\r\n";                              // Часы
inline const std::string kThermostatGroup = "[\xD2\xE5\xF0\xEC\xEE\xEC\xE5\xF2\xF0]\r\n";        // Термометр
// Предупреждения
inline const std::string kAlarmGroup = "[\xCF\xF0\xE5\xE4\xF3\xEF\xF0\xE5\xE6\xE4\xE5\xED\xE8\xFF]\r\n";
inline const std::string kMqttGroup = "[MQTT]\r\n";

}  // namespace qx::test
