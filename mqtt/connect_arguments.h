#pragma once
// The console's `mqtt` commands: `mqtt` (the settings and the state), `mqtt off`, and
//   mqtt connect HOST[:PORT] [--user NAME] [--password-stdin] [--prefix P] [--node N]
// taken apart from the command's words into what was given, or refused with the reason for the
// script's standard error. The password itself never passes through here: the companion reads it
// from standard input and sends it in a word of its own (mqtt/password_word.h).

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "mqtt/mqtt_settings.h"

namespace qx {

struct ServerAddress {
  std::string host;  // Windows-1251; an IPv6 address without its brackets
  int port = kDefaultMqttPort;

  bool operator==(const ServerAddress&) const = default;
};

// What `mqtt connect` was given; texts already in Windows-1251, the node lowered.
struct ConnectArguments {
  ServerAddress server;
  std::optional<std::string> user;
  bool password_stdin = false;
  std::optional<std::string> prefix;
  std::optional<std::string> node;

  bool operator==(const ConnectArguments&) const = default;
};

struct ParsedServerAddress {
  std::optional<ServerAddress> address;
  std::string error;
};

// "HOST", "HOST:PORT", "[IPv6]" or "[IPv6]:PORT" in UTF-8. A port is 1..65535 in plain digits, no
// sign, no leading zero; without one, MQTT's own 1883.
[[nodiscard]] ParsedServerAddress ParseServerAddress(std::string_view text);

struct ParsedConnectArguments {
  std::optional<ConnectArguments> arguments;
  std::string error;  // English, one line
};

// The words after "mqtt connect", UTF-8. Option names in any letter case; each at most once.
[[nodiscard]] ParsedConnectArguments ParseConnectArguments(std::span<const std::string_view> words);

enum class MqttAction { kShow, kConnect, kOff };

struct MqttCommand {
  MqttAction action = MqttAction::kShow;
  ConnectArguments connect;  // for kConnect

  bool operator==(const MqttCommand&) const = default;
};

struct ParsedMqttCommand {
  std::optional<MqttCommand> command;
  std::string error;
};

// The words after "mqtt": none, "connect ...", or "off" (which takes no arguments).
[[nodiscard]] ParsedMqttCommand ParseMqttCommand(std::span<const std::string_view> words);

// The settings `mqtt connect` leaves: MQTT on, the given values in place of the stored ones,
// omitted options keeping theirs. The password becomes `password` (the encrypted new one, empty
// for none) when --password-stdin was given; otherwise a change of server (host or port) or of
// user clears it, so one broker's password is never sent to another. With no node given or
// stored, the node is fixed from the computer's host name (UTF-8), as WithNodeFixed does.
[[nodiscard]] MqttSettings SettingsAfterConnect(const MqttSettings& stored, const ConnectArguments& arguments,
                                                std::string_view password, std::string_view host_name_utf8);

// Settings with MQTT on keep their node from then on: renaming the PC later must not make a new
// device in Home Assistant. So switching on fixes an empty node from the host name.
[[nodiscard]] MqttSettings WithNodeFixed(MqttSettings settings, std::string_view host_name_utf8);

}  // namespace qx
