#include "control/reply.h"

#include <algorithm>
#include <cstdint>

#include "control/request.h"
#include "runtime/text.h"

namespace qx {
namespace {

// U+0080..U+00BF's places in Windows-1251; from 0xC0 on the letters follow U+0410 in order.
constexpr std::uint16_t kHighHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// "вкл" and "выкл", in the program's Windows-1251.
constexpr char kOnWord[] = "\xE2\xEA\xEB";
constexpr char kOffWord[] = "\xE2\xFB\xEA\xEB";
// "Предупреждения: ", before the standing alarms; the settings file's name for them.
constexpr char kAlarmsWord[] = "\xCF\xF0\xE5\xE4\xF3\xEF\xF0\xE5\xE6\xE4\xE5\xED\xE8\xFF: ";

const char* Bool(bool value) {
  return value ? "true" : "false";
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view cp1251) {
  std::string out;
  out.reserve(cp1251.size() * 2);
  for (char c : cp1251) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else if (byte < 0xC0) {
      AppendUtf8(out, kHighHalf[byte - 0x80]);
    } else {
      AppendUtf8(out, 0x0410u + (byte - 0xC0u));
    }
  }
  return out;
}

std::string JsonString(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string FormatReply(const Reply& reply) {
  return Concatenate(std::string_view(kProtocolWord), " ", DecimalText(reply.status), " ",
                     DecimalText(static_cast<std::int64_t>(reply.body.size())), "\n", reply.body);
}

namespace {

// Plain decimal digits as FormatReply writes them (no sign, no leading zero), at most `limit` of
// them; nothing for anything else.
std::optional<std::size_t> Digits(std::string_view text, std::size_t limit) {
  if (text.empty() || text.size() > limit || (text.size() > 1 && text[0] == '0')) return std::nullopt;
  std::size_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::size_t>(c - '0');
  }
  return value;
}

}  // namespace

std::optional<Reply> ParseReply(std::string_view bytes) {
  const std::size_t end = bytes.find('\n');
  if (end == std::string_view::npos) return std::nullopt;
  // Exactly as written: the version word, a space, the status, a space, the length.
  std::string_view head = bytes.substr(0, end);
  const std::string_view version = kProtocolWord;
  if (head.substr(0, version.size() + 1) != Concatenate(version, " ")) return std::nullopt;
  head.remove_prefix(version.size() + 1);
  const std::size_t space = head.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  const std::optional<std::size_t> status = Digits(head.substr(0, space), 3);
  const std::optional<std::size_t> length = Digits(head.substr(space + 1), 9);
  if (!status || !length || bytes.size() - end - 1 != *length) return std::nullopt;
  return Reply{static_cast<int>(*status), std::string(bytes.substr(end + 1))};
}

std::optional<std::string> ShownTemperatureNumber(std::string_view shown) {
  std::size_t i = 0;
  if (i < shown.size() && shown[i] == '-') ++i;
  const std::size_t digits_from = i;
  while (i < shown.size() && shown[i] >= '0' && shown[i] <= '9') ++i;
  if (i == digits_from) return std::nullopt;
  if (i < shown.size() && shown[i] == '.') {
    const std::size_t point = i++;
    while (i < shown.size() && shown[i] >= '0' && shown[i] <= '9') ++i;
    if (i == point + 1) return std::nullopt;  // "23." is not a JSON number
  }
  // JSON allows no leading zero before another digit ("023"); the program never shows one.
  if (shown[digits_from] == '0' && i > digits_from + 1 && shown[digits_from + 1] != '.') return std::nullopt;
  if (i < shown.size() && shown[i] != ' ') return std::nullopt;
  return std::string(shown.substr(0, i));
}

std::string StatusText(const ProgramStatus& status) {
  std::string text = status.device_text;
  text.append("  ").append(status.temperature_text).append("\n");
  for (std::size_t k = 0; k < status.outlets.size(); ++k) {
    const OutletStatus& outlet = status.outlets[k];
    text.append(DecimalText(static_cast<std::int64_t>(k + 1))).append(". ").append(outlet.name).append("  ");
    text.append(outlet.on ? kOnWord : kOffWord).append("\n");
  }
  if (status.mqtt.enabled) text.append("MQTT: ").append(ConnectionStatusText(status.mqtt.connection)).append("\n");
  if (!status.alarms.empty()) {
    text.append(kAlarmsWord);
    for (std::size_t k = 0; k < status.alarms.size(); ++k) text.append(k == 0 ? "" : ", ").append(status.alarms[k]);
    text.append("\n");
  }
  return Cp1251ToUtf8(text);
}

namespace {

// Appends "key":value, after a comma unless it is the first member of its object.
void Member(std::string& json, const char* key, std::string_view value) {
  if (json.back() != '{') json += ',';
  json.append("\"").append(key).append("\":").append(value);
}

// A Windows-1251 text (a rule's time, the broker's address) as a JSON string; null when empty.
std::string TextOrNull(std::string_view cp1251) {
  return cp1251.empty() ? "null" : JsonString(Cp1251ToUtf8(cp1251));
}

}  // namespace

std::string StatusJson(const ProgramStatus& status) {
  const std::optional<std::string> temperature = ShownTemperatureNumber(status.temperature_text);
  std::string json = "{";
  Member(json, "device", Bool(status.device));
  Member(json, "temperature", temperature ? *temperature : "null");
  Member(json, "reading_fresh", Bool(status.reading_fresh));
  std::string alarms = "[";
  for (const std::string& name : status.alarms) alarms.append(alarms.size() > 1 ? "," : "").append(JsonString(name));
  Member(json, "alarms", alarms + "]");
  Member(json, "mqtt", "{");
  Member(json, "enabled", Bool(status.mqtt.enabled));
  Member(json, "connected", Bool(status.mqtt.connection.state == ConnectionStatus::State::kConnected));
  Member(json, "server", TextOrNull(status.mqtt.server));
  Member(json, "node", TextOrNull(status.mqtt.node));
  const std::optional<std::string> error = ConnectionErrorWord(status.mqtt.connection.error);
  Member(json, "error", error ? JsonString(*error) : "null");
  json += '}';
  Member(json, "outlets", "[");
  for (std::size_t k = 0; k < status.outlets.size(); ++k) {
    const OutletStatus& outlet = status.outlets[k];
    json.append(k == 0 ? "{" : ",{");
    Member(json, "outlet", DecimalText(static_cast<std::int64_t>(k + 1)));
    Member(json, "name", JsonString(Cp1251ToUtf8(outlet.name)));
    Member(json, "on", Bool(outlet.on));
    Member(json, "on_at_start", Bool(outlet.on_at_start));
    Member(json, "on_at_exit", Bool(outlet.on_at_exit));
    Member(json, "schedule", "{");
    Member(json, "on", TextOrNull(outlet.schedule_on));
    Member(json, "off", TextOrNull(outlet.schedule_off));
    json += '}';
    const auto [low, high] = std::minmax(outlet.band[0], outlet.band[1]);
    Member(json, "thermostat", "{");
    Member(json, "enabled", Bool(outlet.thermostat_enabled));
    Member(json, "fields", "[" + DecimalText(outlet.band[0]) + "," + DecimalText(outlet.band[1]) + "]");
    Member(json, "on_at_or_below", DecimalText(low));
    Member(json, "off_at_or_above", DecimalText(high));
    json += "}}";
  }
  return json + "]}\n";
}

Reply TemperatureReply(const ProgramStatus& status) {
  const std::optional<std::string> temperature = ShownTemperatureNumber(status.temperature_text);
  if (!status.reading_fresh || !temperature) return {kExitNoDevice, "no current temperature reading\n"};
  return {kExitDone, *temperature + "\n"};
}

}  // namespace qx
