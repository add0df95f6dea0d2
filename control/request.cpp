#include "control/request.h"

#include <cstdint>

#include "model/widget_numbers.h"
#include "mqtt/password_word.h"

namespace qx {
namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameWord(std::string_view word, std::string_view lower) {
  if (word.size() != lower.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (LowerAscii(word[i]) != lower[i]) return false;
  }
  return true;
}

std::optional<Verb> VerbNamed(std::string_view word) {
  struct Entry {
    std::string_view name;
    Verb verb;
  };
  static constexpr Entry kVerbs[] = {{"status", Verb::kStatus}, {"temperature", Verb::kTemperature},
                                     {"on", Verb::kOn},         {"off", Verb::kOff},
                                     {"toggle", Verb::kToggle}, {"show", Verb::kShow},
                                     {"quit", Verb::kQuit},     {"mqtt", Verb::kMqtt}};
  for (const Entry& entry : kVerbs) {
    if (SameWord(word, entry.name)) return entry.verb;
  }
  return std::nullopt;
}

// A single digit from 1 to the outlet count and nothing else: "01", "+1" and "1.0" are not outlet numbers.
int OutletNumber(std::string_view word) {
  if (word.size() != 1 || word[0] < '1' || word[0] >= '1' + kOutletCount) return 0;
  return word[0] - '0';
}

ParsedRequest Failure(std::string error) {
  return {std::nullopt, std::move(error)};
}

// What an argument is called in an error message: the word itself, cut short, so a 4 KB line
// does not come back whole.
std::string Quoted(std::string_view word) {
  constexpr std::size_t kShown = 24;
  std::string text = "\"";
  if (word.size() <= kShown) {
    text.append(word);
  } else {
    text.append(Utf8Prefix(word, kShown)).append("...");
  }
  return text + "\"";
}

}  // namespace

std::string_view Utf8Prefix(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07u;
    } else {
      return false;  // a continuation byte, an overlong two-byte lead, or beyond U+10FFFF
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3Fu);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF))) return false;
    if (code >= 0xD800 && code <= 0xDFFF) return false;
    i += length;
  }
  return true;
}

std::vector<std::string_view> SplitWords(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

ParsedRequest ParseCommand(std::span<const std::string_view> words) {
  if (words.empty()) return Failure("no command given");
  const std::optional<Verb> verb = VerbNamed(words[0]);
  if (!verb) return Failure("unknown command " + Quoted(words[0]));
  Request request;
  request.verb = *verb;
  const auto arguments = words.subspan(1);
  switch (*verb) {
    case Verb::kStatus:
      for (std::string_view word : arguments) {
        if (!SameWord(word, "--json")) return Failure("status takes only --json, not " + Quoted(word));
        request.json = true;
      }
      return {request, {}};
    case Verb::kOn:
    case Verb::kOff:
    case Verb::kToggle:
      if (arguments.empty()) return Failure(Quoted(words[0]) + " needs one or more outlet numbers 1-4");
      for (std::string_view word : arguments) {
        const int outlet = OutletNumber(word);
        if (outlet == 0) return Failure(Quoted(word) + " is not an outlet number 1-4");
        request.outlets |= 1u << (outlet - 1);
      }
      return {request, {}};
    case Verb::kMqtt: {
      ParsedMqttCommand mqtt = ParseMqttCommand(arguments);
      if (!mqtt.command) return Failure(std::move(mqtt.error));
      request.mqtt = std::move(*mqtt.command);
      return {request, {}};
    }
    default:
      if (!arguments.empty()) return Failure(Quoted(words[0]) + " takes no arguments");
      return {request, {}};
  }
}

ParsedRequest ParseRequestLine(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() > kMaxRequestBytes) return Failure("request longer than 4096 bytes");
  if (!IsValidUtf8(line)) return Failure("request is not UTF-8");
  for (char c : line) {
    // Line breaks inside, NUL and the other controls have no place in a command.
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return Failure("request holds control characters");
  }
  std::vector<std::string_view> words = SplitWords(line);
  if (words.empty() || words[0] != kProtocolWord) return Failure("unsupported protocol version");
  // The password word is taken out before the command is read, so that no refusal of the
  // command can quote it. A value never starts with "--", so this word is always the option.
  std::optional<std::string> password;
  if (words.size() > 2 && SameWord(words[1], "mqtt") && SameWord(words[2], "connect")) {
    for (std::size_t i = 3; i < words.size(); ++i) {
      if (!SameWord(words[i], "--password-stdin")) continue;
      if (i + 1 < words.size()) password = DecodePasswordWord(words[i + 1]);
      if (!password) return Failure("the password did not arrive whole");
      words.erase(words.begin() + static_cast<std::ptrdiff_t>(i) + 1);
      break;
    }
  }
  ParsedRequest parsed = ParseCommand(std::span(words).subspan(1));
  if (parsed.request && password) parsed.request->password = std::move(*password);
  return parsed;
}

std::string RequestLine(std::span<const std::string> words, std::optional<std::string_view> password) {
  std::string line = kProtocolWord;
  bool placed = false;
  for (const std::string& word : words) {
    line.append(" ").append(word);
    if (password && !placed && SameWord(word, "--password-stdin")) {
      line.append(" ").append(EncodePasswordWord(*password));
      placed = true;
    }
  }
  return line + "\n";
}

}  // namespace qx
