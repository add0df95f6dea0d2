#include "mqtt/connection_status.h"

#include "runtime/text.h"

namespace qx {
namespace {

// Windows-1251: "Выключено", "Подключение к ", "…" (one character, 0x85), "Подключено к ",
// "Нет связи: ", ", повтор через ", " с".
constexpr char kOffText[] = "\xC2\xFB\xEA\xEB\xFE\xF7\xE5\xED\xEE";
constexpr char kConnectingText[] = "\xCF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED\xE8\xE5 \xEA ";
constexpr char kEllipsis[] = "\x85";
constexpr char kConnectedText[] = "\xCF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED\xEE \xEA ";
constexpr char kNoLinkText[] = "\xCD\xE5\xF2 \xF1\xE2\xFF\xE7\xE8: ";
constexpr char kRetryText[] = ", \xEF\xEE\xE2\xF2\xEE\xF0 \xF7\xE5\xF0\xE5\xE7 ";
constexpr char kSecondsText[] = " \xF1";

struct ErrorTexts {
  const char* word;
  const char* reason;
};

// Indexed by ConnectionError. Reasons, Windows-1251: "неверный пользователь или пароль", "сервер
// отказал в соединении", "сервер не найден", "нет ответа", "связь потеряна", "пароль нужно ввести
// заново".
constexpr ErrorTexts kErrorTexts[] = {
    {nullptr, ""},
    {"auth",
     "\xED\xE5\xE2\xE5\xF0\xED\xFB\xE9 \xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xFC \xE8\xEB\xE8 "
     "\xEF\xE0\xF0\xEE\xEB\xFC"},
    {"refused", "\xF1\xE5\xF0\xE2\xE5\xF0 \xEE\xF2\xEA\xE0\xE7\xE0\xEB \xE2 \xF1\xEE\xE5\xE4\xE8\xED\xE5\xED\xE8\xE8"},
    {"dns", "\xF1\xE5\xF0\xE2\xE5\xF0 \xED\xE5 \xED\xE0\xE9\xE4\xE5\xED"},
    {"timeout", "\xED\xE5\xF2 \xEE\xF2\xE2\xE5\xF2\xE0"},
    {"lost", "\xF1\xE2\xFF\xE7\xFC \xEF\xEE\xF2\xE5\xF0\xFF\xED\xE0"},
    {"password", "\xEF\xE0\xF0\xEE\xEB\xFC \xED\xF3\xE6\xED\xEE \xE2\xE2\xE5\xF1\xF2\xE8 \xE7\xE0\xED\xEE\xE2\xEE"},
};

const ErrorTexts& TextsOf(ConnectionError error) {
  return kErrorTexts[static_cast<int>(error)];
}

}  // namespace

std::string ServerText(const std::string& host, int port) {
  if (host.find(':') != std::string::npos) return Concatenate("[", host, "]:", DecimalText(port));
  return Concatenate(host, ":", DecimalText(port));
}

std::string ConnectionStatusText(const ConnectionStatus& status) {
  switch (status.state) {
    case ConnectionStatus::State::kOff:
      return kOffText;
    case ConnectionStatus::State::kConnecting:
      return Concatenate(std::string_view(kConnectingText), ServerText(status.host, status.port),
                         std::string_view(kEllipsis));
    case ConnectionStatus::State::kConnected:
      return Concatenate(std::string_view(kConnectedText), ServerText(status.host, status.port));
    case ConnectionStatus::State::kWaiting:
      break;
  }
  // A wait with no reason recorded is a connection that was lost.
  const ConnectionError error = status.error == ConnectionError::kNone ? ConnectionError::kLost : status.error;
  std::string text = Concatenate(std::string_view(kNoLinkText), std::string_view(TextsOf(error).reason));
  if (error == ConnectionError::kPassword) return text;
  return Concatenate(text, std::string_view(kRetryText), DecimalText(status.retry_seconds),
                     std::string_view(kSecondsText));
}

std::optional<std::string> ConnectionErrorWord(ConnectionError error) {
  const char* word = TextsOf(error).word;
  if (!word) return std::nullopt;
  return std::string(word);
}

}  // namespace qx
