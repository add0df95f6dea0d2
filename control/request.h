#pragma once
// The console channel's request: one line of UTF-8 text, "QX/1 <verb> [arguments]", that a
// script's command turns into and the running program reads. Whatever arrives on the pipe is
// taken apart here, so a line that is not a request is answered with an error and never acted on.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mqtt/connect_arguments.h"

namespace qx {

// The version word every request line starts with. A later, incompatible line format gets a new
// number, and a program that does not know it answers with an error.
inline constexpr char kProtocolWord[] = "QX/1";
// The longest request line, without its line feed. Real requests are a few dozen bytes.
inline constexpr std::size_t kMaxRequestBytes = 4096;

// The companion's exit codes, which the reply carries as its status.
inline constexpr int kExitDone = 0;
// A setting was changed but the settings file could not be written.
inline constexpr int kExitNotSaved = 1;
inline constexpr int kExitBadRequest = 2;
inline constexpr int kExitNotRunning = 3;
inline constexpr int kExitNoDevice = 4;
inline constexpr int kExitNoAnswer = 5;

enum class Verb { kStatus, kTemperature, kOn, kOff, kToggle, kShow, kQuit, kMqtt };

struct Request {
  Verb verb = Verb::kStatus;
  bool json = false;  // status --json
  // Outlet n is bit n - 1; a number given twice counts once.
  unsigned outlets = 0;
  MqttCommand mqtt;  // for kMqtt
  // For `mqtt connect ... --password-stdin`: the password (UTF-8), which the line carries as the
  // password word right after that option. Empty: none.
  std::string password;

  bool operator==(const Request&) const = default;
  [[nodiscard]] bool Names(int outlet) const { return (outlets >> (outlet - 1)) & 1u; }
};

// A request, or why there is none (English, one line, for the script's standard error).
struct ParsedRequest {
  std::optional<Request> request;
  std::string error;
};

// The words of a command as typed after the program's name ("on", "2", "3"); letter case does not
// matter in verbs or options.
[[nodiscard]] ParsedRequest ParseCommand(std::span<const std::string_view> words);

// A line as it came from the pipe, with or without its line feed: the version word, then a
// command. Rejects lines over kMaxRequestBytes and bytes that are not UTF-8. After
// "--password-stdin" comes the password word, which no error message ever quotes.
[[nodiscard]] ParsedRequest ParseRequestLine(std::string_view line);

// The line, line feed included, that asks for the command in `words`; with `password`, its
// password word follows the "--password-stdin" among them.
[[nodiscard]] std::string RequestLine(std::span<const std::string> words,
                                      std::optional<std::string_view> password = std::nullopt);

// Whether `text` is well-formed UTF-8: no stray continuation bytes, no overlong forms, no
// surrogates, nothing above U+10FFFF.
[[nodiscard]] bool IsValidUtf8(std::string_view text);

// At most `limit` bytes of UTF-8 `text`, cut before a character rather than inside one, so a word
// shortened for a message stays UTF-8.
[[nodiscard]] std::string_view Utf8Prefix(std::string_view text, std::size_t limit);

// `text` split at runs of spaces and tabs.
[[nodiscard]] std::vector<std::string_view> SplitWords(std::string_view text);

}  // namespace qx
