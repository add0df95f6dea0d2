#pragma once
// The console channel's reply, and the program's state as a script reads it: the text of
// `status`, the JSON object of `status --json`, the bare number of `temperature`.
//
// A reply is "QX/1 <status> <body length>\n" followed by its body, all UTF-8. The status is the
// companion's exit code; with 0 the body is the command's output (for the standard output),
// otherwise it is the message for the standard error. The length tells the client that it has
// the whole reply, so it closes the pipe first and the server never cuts a reply short.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/widget_numbers.h"
#include "mqtt/connection_status.h"

namespace qx {

// One outlet as its widgets show it. Texts are Windows-1251, as in the program.
struct OutletStatus {
  std::string name;
  bool on = false;
  bool on_at_start = false;
  bool on_at_exit = false;
  // "HH:MM", or empty for a rule that is not set.
  std::string schedule_on;
  std::string schedule_off;
  bool thermostat_enabled = false;
  // The switch-on and the switch-off field, as the window shows them.
  std::array<int, 2> band{};
};

// The MQTT link as `status` and `mqtt` show it. Texts are Windows-1251.
struct MqttLinkStatus {
  bool enabled = false;
  std::string server;  // "host:port", empty while none is set
  std::string node;
  ConnectionStatus connection;
};

struct ProgramStatus {
  bool device = false;
  std::string device_text;       // the status bar's connection field
  std::string temperature_text;  // as the window shows it: "23.5 °C" or "OFF"
  bool reading_fresh = false;
  std::array<OutletStatus, kOutletCount> outlets;
  // The alarm conditions standing now, by their names ("below", "above", "sensor_silent",
  // "device_gone"), in that order.
  std::vector<std::string> alarms;
  MqttLinkStatus mqtt;
};

struct Reply {
  int status = 0;
  std::string body;  // UTF-8

  bool operator==(const Reply&) const = default;
};

// The reply's bytes, and the reply read back from them: nothing for bytes that are not one, or
// not yet all of one.
[[nodiscard]] std::string FormatReply(const Reply& reply);
[[nodiscard]] std::optional<Reply> ParseReply(std::string_view bytes);

// The number at the start of a shown temperature ("23.5" of "23.5 °C"); nothing for "OFF" or any
// text that does not start with a decimal number.
[[nodiscard]] std::optional<std::string> ShownTemperatureNumber(std::string_view shown);

// `status`: the device text and the temperature, then "n. name  вкл" or "... выкл" per outlet,
// then, with MQTT on, "MQTT: " and the link's status line, then, while any alarm stands,
// "Предупреждения: below, sensor_silent".
[[nodiscard]] std::string StatusText(const ProgramStatus& status);
// `status --json`: one object, one line, UTF-8.
[[nodiscard]] std::string StatusJson(const ProgramStatus& status);
// `temperature`: the number and a line feed; exit 4 without a fresh reading on show.
[[nodiscard]] Reply TemperatureReply(const ProgramStatus& status);

// Windows-1251 bytes as UTF-8. The one byte with no character (0x98) becomes U+FFFD.
[[nodiscard]] std::string Cp1251ToUtf8(std::string_view cp1251);
// A JSON string literal, quotes included, of UTF-8 text.
[[nodiscard]] std::string JsonString(std::string_view utf8);

}  // namespace qx
