#pragma once
// The bridge's state as the window's status line and the console show it, from a snapshot the
// MQTT thread leaves for the user-interface thread.

#include <optional>
#include <string>

namespace qx {

enum class ConnectionError { kNone, kAuth, kRefused, kDns, kTimeout, kLost, kPassword };

struct ConnectionStatus {
  enum class State { kOff, kConnecting, kConnected, kWaiting } state = State::kOff;
  std::string host;  // Windows-1251, an IPv6 address without brackets
  int port = 0;
  ConnectionError error = ConnectionError::kNone;  // why it waits
  int retry_seconds = 0;                           // until the next try, while it waits

  bool operator==(const ConnectionStatus&) const = default;
};

// "host:port", "[v6:addr]:port" for a host with a ":".
[[nodiscard]] std::string ServerText(const std::string& host, int port);

// Windows-1251: "Выключено", "Подключение к HOST:PORT…", "Подключено к HOST:PORT", or
// "Нет связи: REASON, повтор через N с". A password that has to be entered again is never retried
// by itself, so its line has no retry: "Нет связи: пароль нужно ввести заново".
[[nodiscard]] std::string ConnectionStatusText(const ConnectionStatus& status);

// The word of `status --json`'s "error": "auth", "refused", "dns", "timeout", "lost" or
// "password"; nothing for kNone (JSON null).
[[nodiscard]] std::optional<std::string> ConnectionErrorWord(ConnectionError error);

}  // namespace qx
