// The console channel's formats: what a request line means (or why it is refused), and what the
// program answers with; and whom each end of the channel takes the other for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/peer_check.h"
#include "control/reply.h"
#include "control/request.h"
#include "mqtt/password_word.h"
#include "tests/support/json_reader.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace qx {
namespace {

using test::JsonReader;
using test::JsonValue;

Request Switch(Verb verb, unsigned outlets) {
  Request request;
  request.verb = verb;
  request.outlets = outlets;
  return request;
}

Request Simple(Verb verb, bool json = false) {
  Request request;
  request.verb = verb;
  request.json = json;
  return request;
}

TEST(RequestLine, WellFormedLinesMeanWhatTheySay) {
  const struct {
    std::string line;
    Request expected;
  } cases[] = {
      {"QX/1 status\n", Simple(Verb::kStatus)},
      {"QX/1 STATUS --JSON\n", Simple(Verb::kStatus, true)},
      {"QX/1 Status --json --json", Simple(Verb::kStatus, true)},
      {"QX/1 temperature\r\n", Simple(Verb::kTemperature)},
      {"QX/1 show\n", Simple(Verb::kShow)},
      {"QX/1 Quit\n", Simple(Verb::kQuit)},
      {"QX/1 on 2\n", Switch(Verb::kOn, 0b0010)},
      {"QX/1 OFF 1 4\n", Switch(Verb::kOff, 0b1001)},
      {"QX/1 toggle 3 3 3\n", Switch(Verb::kToggle, 0b0100)},
      {"QX/1\ttoggle\t 1  2 3 4 \n", Switch(Verb::kToggle, 0b1111)},
  };
  for (const auto& c : cases) {
    const ParsedRequest parsed = ParseRequestLine(c.line);
    ASSERT_TRUE(parsed.request) << c.line << ": " << parsed.error;
    EXPECT_EQ(*parsed.request, c.expected) << c.line;
  }
}

TEST(RequestLine, AnythingElseIsAnErrorNotARequest) {
  const std::string longest = "QX/1 status" + std::string(kMaxRequestBytes - 11, ' ');
  ASSERT_TRUE(ParseRequestLine(longest + "\n").request) << "exactly 4096 bytes is still a request";
  const std::string cases[] = {
      "",
      "\n",
      "status\n",       // no protocol version
      "QX/2 status\n",  // a version this program does not speak
      "qx/1 status\n",  // the version word is exact
      "QX/1\n",         // no verb
      "QX/1 explode\n",
      "QX/1 on\n",  // no outlet
      "QX/1 on 0\n",
      "QX/1 on 5\n",
      "QX/1 on 01\n",
      "QX/1 on +1\n",
      "QX/1 on 1.0\n",
      "QX/1 on 1,2\n",
      "QX/1 on 1 x\n",
      "QX/1 status --xml\n",
      "QX/1 temperature 1\n",
      "QX/1 quit now\n",
      "QX/1 show 1\n",
      longest + " \n",                   // 4097 bytes
      "QX/1 status \xC0\xAF\n",          // overlong "/"
      "QX/1 status \xED\xA0\x80\n",      // a surrogate
      "QX/1 status \xF4\x90\x80\x80\n",  // beyond U+10FFFF
      "QX/1 status \xE2\x82\n",          // cut short
      "QX/1 status \x80\n",              // a lone continuation byte
      "QX/1 status \xFF\n",
      std::string("QX/1 on 1\0 2\n", 13),  // NUL
      "QX/1 on 1\n2\n",                    // a second line inside
      "QX/1 on 1\x1B[2J\n",                // an escape sequence
  };
  for (const std::string& line : cases) {
    const ParsedRequest parsed = ParseRequestLine(line);
    EXPECT_FALSE(parsed.request) << "[" << line << "]";
    EXPECT_FALSE(parsed.error.empty()) << "[" << line << "]";
    EXPECT_TRUE(IsValidUtf8(parsed.error)) << "the error goes back to the client as UTF-8";
  }
}

TEST(RequestLine, WhatTheCompanionSendsIsWhatItMeant) {
  const std::vector<std::string> words = {"toggle", "4", "1"};
  EXPECT_EQ(RequestLine(words), "QX/1 toggle 4 1\n");
  const ParsedRequest parsed = ParseRequestLine(RequestLine(words));
  ASSERT_TRUE(parsed.request);
  EXPECT_EQ(*parsed.request, Switch(Verb::kToggle, 0b1001));
}

Request Mqtt(MqttAction action, ConnectArguments connect = {}, std::string password = {}) {
  Request request;
  request.verb = Verb::kMqtt;
  request.mqtt = {action, std::move(connect)};
  request.password = std::move(password);
  return request;
}

ConnectArguments Connect(std::string host, int port, std::optional<std::string> user = {}, bool password_stdin = false,
                         std::optional<std::string> prefix = {}, std::optional<std::string> node = {}) {
  return {{std::move(host), port}, std::move(user), password_stdin, std::move(prefix), std::move(node)};
}

TEST(MqttRequest, WellFormedLinesMeanWhatTheySay) {
  const struct {
    std::string line;
    Request expected;
  } cases[] = {
      {"QX/1 mqtt\n", Mqtt(MqttAction::kShow)},
      {"QX/1 MQTT Off\n", Mqtt(MqttAction::kOff)},
      {"QX/1 mqtt connect broker.lan\n", Mqtt(MqttAction::kConnect, Connect("broker.lan", 1883))},
      {"QX/1 mqtt connect 10.0.0.2:65535 --USER ha --Prefix home/ha --node PC-One_2\n",
       Mqtt(MqttAction::kConnect, Connect("10.0.0.2", 65535, "ha", false, "home/ha", "pc-one_2"))},
      {"QX/1 mqtt connect [fe80::1]:1 --password-stdin x\n",
       Mqtt(MqttAction::kConnect, Connect("fe80::1", 1, {}, true))},
      // The password word follows its option wherever that stands; "p w" with a space inside.
      {"QX/1 mqtt connect h --password-stdin x702077 --user u\n",
       Mqtt(MqttAction::kConnect, Connect("h", 1883, "u", true), "p w")},
      // Windows-1251 for the file: "\xD0\xBF" is Cyrillic "п", 0xEF.
      {"QX/1 mqtt connect h --user \xD0\xBF\n", Mqtt(MqttAction::kConnect, Connect("h", 1883, "\xEF"))},
  };
  for (const auto& c : cases) {
    const ParsedRequest parsed = ParseRequestLine(c.line);
    ASSERT_TRUE(parsed.request) << c.line << ": " << parsed.error;
    EXPECT_EQ(*parsed.request, c.expected) << c.line;
  }
}

TEST(MqttRequest, EveryRefusalNamesItsReason) {
  const std::string cases[] = {
      "QX/1 mqtt connect\n",           // no server
      "QX/1 mqtt connect :1883\n",     // an empty host
      "QX/1 mqtt connect h:0\n",       // port outside 1-65535
      "QX/1 mqtt connect h:65536\n",   //
      "QX/1 mqtt connect h:+1883\n",   // a sign
      "QX/1 mqtt connect h:01883\n",   // a leading zero
      "QX/1 mqtt connect h:\n",        // a colon and no port
      "QX/1 mqtt connect fe80::1\n",   // IPv6 without brackets
      "QX/1 mqtt connect [fe80::1\n",  //
      "QX/1 mqtt connect h --prefix a/+\n",
      "QX/1 mqtt connect h --prefix a/#\n",
      "QX/1 mqtt connect h --prefix a//b\n",
      "QX/1 mqtt connect h --prefix /a\n",
      "QX/1 mqtt connect h --prefix a/\n",
      "QX/1 mqtt connect h --node pc.home\n",
      "QX/1 mqtt connect h --node \xD0\xBF\n",      // a letter, but not a-z
      "QX/1 mqtt connect h --user \xE4\xB8\xAD\n",  // a Chinese character: not in the file's code page
      "QX/1 mqtt connect h --pass x\n",             // unknown option
      "QX/1 mqtt connect h --user a --user b\n",
      "QX/1 mqtt connect h --user\n",  // valueless
      "QX/1 mqtt connect h --user --node n\n",
      "QX/1 mqtt connect h extra\n",
      "QX/1 mqtt off now\n",
      "QX/1 mqtt on\n",
      // The option's password word is missing, malformed or not UTF-8.
      "QX/1 mqtt connect h --password-stdin\n",
      "QX/1 mqtt connect h --password-stdin --user u\n",
      "QX/1 mqtt connect h --password-stdin x4\n",
      "QX/1 mqtt connect h --password-stdin x4G\n",
      "QX/1 mqtt connect h --password-stdin xff\n",
      "QX/1 mqtt connect h --password-stdin x41 --password-stdin x41\n",
  };
  for (const std::string& line : cases) {
    const ParsedRequest parsed = ParseRequestLine(line);
    EXPECT_FALSE(parsed.request) << "[" << line << "]";
    EXPECT_FALSE(parsed.error.empty()) << "[" << line << "]";
    EXPECT_TRUE(IsValidUtf8(parsed.error)) << "the error goes back to the client as UTF-8";
  }
}

TEST(MqttRequest, ThePasswordNeverComesBackInAnError) {
  const std::string secret = "hunter2";
  const std::string word = EncodePasswordWord(secret);
  const std::string lines[] = {
      "QX/1 mqtt connect h --password-stdin " + word + " --bogus\n",
      "QX/1 mqtt connect h --password-stdin " + word + " --user\n",
      "QX/1 mqtt connect h:0 --password-stdin " + word + "\n",
      "QX/1 mqtt off --password-stdin " + word + "\n",
  };
  for (const std::string& line : lines) {
    const ParsedRequest parsed = ParseRequestLine(line);
    ASSERT_FALSE(parsed.request) << line;
    EXPECT_EQ(parsed.error.find(secret), std::string::npos) << parsed.error;
    EXPECT_EQ(parsed.error.find(word.substr(0, 8)), std::string::npos) << parsed.error;
  }
}

TEST(MqttRequest, TheCompanionsLineCarriesThePasswordWhole) {
  const std::vector<std::string> words = {"mqtt", "connect", "h:1884", "--Password-Stdin", "--user", "\xD0\xBF"};
  for (const std::string password : {"", "p w", "\xD0\xBF\xE2\x82\xAC", "--user"}) {
    const ParsedRequest parsed = ParseRequestLine(RequestLine(words, password));
    ASSERT_TRUE(parsed.request) << parsed.error;
    EXPECT_EQ(*parsed.request, Mqtt(MqttAction::kConnect, Connect("h", 1884, "\xEF", true), password));
  }
  // Without a password to carry, the line is the typed words, which the program refuses.
  EXPECT_FALSE(ParseRequestLine(RequestLine(words)).request);
}

TEST(Utf8, ValidityFollowsTheStandard) {
  const struct {
    std::string text;
    bool valid;
  } cases[] = {
      {"", true},
      {"plain", true},
      {"\xD0\x9D\xD0\xB0\xD1\x81\xD0\xBE\xD1\x81", true},  // Насос
      {"\xE2\x82\xAC", true},                              // €
      {"\xF0\x9F\x98\x80", true},                          // an emoji, four bytes
      {"\xF4\x8F\xBF\xBF", true},                          // U+10FFFF
      {"\xED\x9F\xBF", true},                              // U+D7FF, just below the surrogates
      {"\xC1\xBF", false},                                 // overlong two bytes
      {"\xE0\x80\xAF", false},                             // overlong three bytes
      {"\xF0\x8F\xBF\xBF", false},                         // overlong four bytes
      {"\xED\xBF\xBF", false},                             // a surrogate
      {"\xF5\x80\x80\x80", false},
      {"\xD0", false},
      {"a\xBFz", false},
      {"\xE2\x28\xA1", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.text), c.valid) << testing::PrintToString(c.text);
}

// Every byte the program's names may hold, against the platform's own converter.
TEST(Cp1251, EveryByteBecomesThePlatformsCharacter) {
  for (int byte = 1; byte < 256; ++byte) {
    if (byte == 0x98) continue;  // no character in the code page
    const std::string in(1, static_cast<char>(byte));
    std::string expected;
#ifdef _WIN32
    wchar_t wide[2] = {};
    ASSERT_EQ(MultiByteToWideChar(1251, MB_ERR_INVALID_CHARS, in.data(), 1, wide, 2), 1);
    char utf8[8] = {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, 1, utf8, sizeof utf8, nullptr, nullptr);
    expected.assign(utf8, static_cast<std::size_t>(length));
#else
    iconv_t converter = iconv_open("UTF-8", "CP1251");
    ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1));
    char source[2] = {static_cast<char>(byte), 0};
    char target[8] = {};
    char* from = source;
    char* to = target;
    std::size_t from_left = 1;
    std::size_t to_left = sizeof target;
    ASSERT_NE(iconv(converter, &from, &from_left, &to, &to_left), static_cast<std::size_t>(-1)) << byte;
    iconv_close(converter);
    expected.assign(target, sizeof target - to_left);
#endif
    EXPECT_EQ(Cp1251ToUtf8(in), expected) << "byte " << byte;
  }
  EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");
}

TEST(Reply, ReadsBackAsWrittenAndOnlyWhenWhole) {
  for (const Reply& reply : {Reply{0, "23.5\n"}, Reply{4, "USB \xD0\xBE\n"}, Reply{2, ""}, Reply{0, "a\nb\n"}}) {
    const std::string bytes = FormatReply(reply);
    EXPECT_EQ(ParseReply(bytes), reply) << bytes;
    // A reply still on its way is not yet one.
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) EXPECT_FALSE(ParseReply(bytes.substr(0, cut))) << cut;
    EXPECT_FALSE(ParseReply(bytes + "x"));
  }
  for (const char* bad : {"QX/1 0\nbody", "QX/2 0 0\n", "QX/1 x 0\n", "QX/1 0 -1\n", "QX/1 1234 0\n", "0 0\n",
                          "QX/1 1  0\n", "QX/1 01 0\n", "QX/1 1 00\n"}) {
    EXPECT_FALSE(ParseReply(bad)) << bad;
  }
}

TEST(ShownTemperature, OnlyADecimalNumberAtTheStartCounts) {
  const struct {
    const char* shown;
    const char* number;  // nullptr: none
  } cases[] = {
      {"23.5 \xB0"
       "C",
       "23.5"},
      {"-4.0 \xB0"
       "C",
       "-4.0"},
      {"0.3 \xB0"
       "C",
       "0.3"},
      {"149.9 \xB0"
       "C",
       "149.9"},
      {"OFF", nullptr},
      {"", nullptr},
      {"-", nullptr},
      {"23. \xB0"
       "C",
       nullptr},
      {".5", nullptr},
      {"023.5", nullptr},
      {"23.5x", nullptr},
      {"1e3", nullptr},
  };
  for (const auto& c : cases) {
    const std::optional<std::string> number = ShownTemperatureNumber(c.shown);
    if (c.number) {
      EXPECT_EQ(number, std::optional<std::string>(c.number)) << c.shown;
    } else {
      EXPECT_FALSE(number) << c.shown;
    }
  }
}

ProgramStatus SampleStatus() {
  ProgramStatus status;
  status.device = true;
  status.device_text = "USB \xEF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED";  // подключен
  status.temperature_text =
      "-3.5 \xB0"
      "C";
  status.reading_fresh = true;
  const char* names[4] = {"Lamp", "\xCD\xE0\xF1\xEE\xF1", "a \"quoted\" \\ name", "tab\there"};
  for (std::size_t k = 0; k < 4; ++k) status.outlets[k].name = names[k];
  status.outlets[0].on = true;
  status.outlets[0].on_at_start = true;
  status.outlets[0].schedule_on = "07:30";
  status.outlets[2].on_at_exit = true;
  status.outlets[2].thermostat_enabled = true;
  status.outlets[2].band = {20, 25};
  status.outlets[3].band = {30, -18};
  return status;
}

TEST(Status, TextShowsTheFirstLineAndOneLinePerOutlet) {
  EXPECT_EQ(StatusText(SampleStatus()),
            "USB \xD0\xBF\xD0\xBE\xD0\xB4\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87\xD0\xB5\xD0\xBD  -3.5 \xC2\xB0"
            "C\n"
            "1. Lamp  \xD0\xB2\xD0\xBA\xD0\xBB\n"
            "2. \xD0\x9D\xD0\xB0\xD1\x81\xD0\xBE\xD1\x81  \xD0\xB2\xD1\x8B\xD0\xBA\xD0\xBB\n"
            "3. a \"quoted\" \\ name  \xD0\xB2\xD1\x8B\xD0\xBA\xD0\xBB\n"
            "4. tab\there  \xD0\xB2\xD1\x8B\xD0\xBA\xD0\xBB\n");
  // Standing alarms add a last line; with none there is no such line.
  ProgramStatus alarmed = SampleStatus();
  alarmed.alarms = {"below", "sensor_silent"};
  EXPECT_EQ(StatusText(alarmed), StatusText(SampleStatus()) +
                                     "\xD0\x9F\xD1\x80\xD0\xB5\xD0\xB4\xD1\x83\xD0\xBF\xD1\x80\xD0\xB5\xD0\xB6\xD0\xB4"
                                     "\xD0\xB5\xD0\xBD\xD0\xB8\xD1\x8F: "
                                     "below, sensor_silent\n");
}

TEST(Status, JsonHoldsEveryFieldUnderItsName) {
  ProgramStatus sample = SampleStatus();
  sample.alarms = {"below", "sensor_silent"};
  const std::string json = StatusJson(sample);
  ASSERT_TRUE(IsValidUtf8(json));
  const std::optional<JsonValue> parsed = JsonReader::Read(json);
  ASSERT_TRUE(parsed) << json;
  const JsonValue& status = *parsed;
  EXPECT_TRUE(status["device"].boolean);
  EXPECT_EQ(status["temperature"].kind, JsonValue::Kind::kNumber);
  EXPECT_EQ(status["temperature"].number, -3.5);
  EXPECT_TRUE(status["reading_fresh"].boolean);
  ASSERT_EQ(status["alarms"].items.size(), 2u);
  EXPECT_EQ(status["alarms"][0].text, "below");
  EXPECT_EQ(status["alarms"][1].text, "sensor_silent");
  ASSERT_EQ(status["outlets"].items.size(), 4u);
  const JsonValue& outlets = status["outlets"];
  EXPECT_EQ(outlets[0]["outlet"].number, 1);
  EXPECT_EQ(outlets[3]["outlet"].number, 4);
  EXPECT_EQ(outlets[1]["name"].text, "\xD0\x9D\xD0\xB0\xD1\x81\xD0\xBE\xD1\x81");
  EXPECT_EQ(outlets[2]["name"].text, "a \"quoted\" \\ name");
  EXPECT_EQ(outlets[3]["name"].text, "tab\there");
  EXPECT_TRUE(outlets[0]["on"].boolean && outlets[0]["on_at_start"].boolean && !outlets[0]["on_at_exit"].boolean);
  EXPECT_TRUE(outlets[2]["on_at_exit"].boolean);
  EXPECT_EQ(outlets[0]["schedule"]["on"].text, "07:30");
  EXPECT_EQ(outlets[0]["schedule"]["off"].kind, JsonValue::Kind::kNull);
  EXPECT_EQ(outlets[1]["schedule"]["on"].kind, JsonValue::Kind::kNull);
  const JsonValue& heater = outlets[2]["thermostat"];
  EXPECT_TRUE(heater["enabled"].boolean);
  EXPECT_EQ(heater["fields"][0].number, 20);
  EXPECT_EQ(heater["fields"][1].number, 25);
  EXPECT_EQ(heater["on_at_or_below"].number, 20);
  EXPECT_EQ(heater["off_at_or_above"].number, 25);
  // Given upside down, the fields stay as shown; the band is what the thermostat makes of them.
  const JsonValue& reversed = outlets[3]["thermostat"];
  EXPECT_EQ(reversed["fields"][0].number, 30);
  EXPECT_EQ(reversed["fields"][1].number, -18);
  EXPECT_EQ(reversed["on_at_or_below"].number, -18);
  EXPECT_EQ(reversed["off_at_or_above"].number, 30);

  ProgramStatus off = SampleStatus();
  off.device = false;
  off.temperature_text = "OFF";
  const std::optional<JsonValue> unplugged = JsonReader::Read(StatusJson(off));
  ASSERT_TRUE(unplugged);
  EXPECT_FALSE((*unplugged)["device"].boolean);
  EXPECT_EQ((*unplugged)["alarms"].kind, JsonValue::Kind::kArray);
  EXPECT_TRUE((*unplugged)["alarms"].items.empty());
  EXPECT_EQ((*unplugged)["temperature"].kind, JsonValue::Kind::kNull);
}

TEST(Status, MqttShowsOnlyWhenOnAndAlwaysInJson) {
  // Off: the text is what it was before there was MQTT; the JSON says so in full.
  ProgramStatus off = SampleStatus();
  off.mqtt.server = "broker:1883";  // a stored server of a link switched off
  EXPECT_EQ(StatusText(off), StatusText(SampleStatus()));
  const std::optional<JsonValue> off_json = JsonReader::Read(StatusJson(off));
  ASSERT_TRUE(off_json);
  const JsonValue& link_off = (*off_json)["mqtt"];
  EXPECT_EQ(link_off["enabled"].kind, JsonValue::Kind::kBool);
  EXPECT_FALSE(link_off["enabled"].boolean);
  EXPECT_FALSE(link_off["connected"].boolean);
  EXPECT_EQ(link_off["server"].text, "broker:1883");
  EXPECT_EQ(link_off["node"].kind, JsonValue::Kind::kNull);
  EXPECT_EQ(link_off["error"].kind, JsonValue::Kind::kNull);

  ProgramStatus on = SampleStatus();
  on.alarms = {"below"};
  on.mqtt = {
      true, "[fe80::1]:1884", "pc-1", {ConnectionStatus::State::kWaiting, "fe80::1", 1884, ConnectionError::kAuth, 60}};
  const std::string text = StatusText(on);
  // "MQTT: Нет связи: неверный пользователь или пароль, повтор через 60 с", before the alarms.
  const std::string line =
      "MQTT: \xD0\x9D\xD0\xB5\xD1\x82 \xD1\x81\xD0\xB2\xD1\x8F\xD0\xB7\xD0\xB8: \xD0\xBD\xD0\xB5\xD0\xB2\xD0\xB5"
      "\xD1\x80\xD0\xBD\xD1\x8B\xD0\xB9 "
      "\xD0\xBF\xD0\xBE\xD0\xBB\xD1\x8C\xD0\xB7\xD0\xBE\xD0\xB2\xD0\xB0\xD1\x82\xD0\xB5"
      "\xD0\xBB\xD1\x8C \xD0\xB8\xD0\xBB\xD0\xB8 \xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C, \xD0\xBF\xD0\xBE"
      "\xD0\xB2\xD1\x82\xD0\xBE\xD1\x80 \xD1\x87\xD0\xB5\xD1\x80\xD0\xB5\xD0\xB7 60 \xD1\x81\n";
  const std::size_t at = text.find(line);
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_LT(at, text.find("below"));
  const std::optional<JsonValue> on_json = JsonReader::Read(StatusJson(on));
  ASSERT_TRUE(on_json);
  const JsonValue& link = (*on_json)["mqtt"];
  EXPECT_TRUE(link["enabled"].boolean);
  EXPECT_FALSE(link["connected"].boolean);
  EXPECT_EQ(link["server"].text, "[fe80::1]:1884");
  EXPECT_EQ(link["node"].text, "pc-1");
  EXPECT_EQ(link["error"].text, "auth");

  on.mqtt.connection = {ConnectionStatus::State::kConnected, "fe80::1", 1884};
  const std::optional<JsonValue> connected = JsonReader::Read(StatusJson(on));
  ASSERT_TRUE(connected);
  EXPECT_TRUE((*connected)["mqtt"]["connected"].boolean);
  EXPECT_EQ((*connected)["mqtt"]["error"].kind, JsonValue::Kind::kNull);
}

TEST(Status, TemperatureNeedsAFreshReadingOnShow) {
  ProgramStatus status = SampleStatus();
  EXPECT_EQ(TemperatureReply(status), (Reply{0, "-3.5\n"}));
  status.reading_fresh = false;  // an older value may still be shown
  EXPECT_EQ(TemperatureReply(status).status, 4);
  status.reading_fresh = true;
  status.temperature_text = "OFF";
  EXPECT_EQ(TemperatureReply(status).status, 4);
}

// S-1-5-21-1-2-3-1001 and its neighbours, as the system lays them out.
SidBytes Sid(std::vector<unsigned> subauthorities, unsigned char authority = 5) {
  SidBytes sid = {1, static_cast<unsigned char>(subauthorities.size()), 0, 0, 0, 0, 0, authority};
  for (unsigned value : subauthorities) {
    for (int shift = 0; shift < 32; shift += 8) sid.push_back(static_cast<unsigned char>(value >> shift));
  }
  return sid;
}

TEST(PeerCheck, OnlyTheSameWellFormedUserIsTheSameUser) {
  const SidBytes user = Sid({21, 1, 2, 3, 1001});
  SidBytes trailing = user;
  trailing.push_back(0);
  SidBytes revision_two = user;
  revision_two[0] = 2;
  SidBytes count_too_high = user;
  count_too_high[1] = 6;
  const struct {
    const char* what;
    SidBytes ours;
    SidBytes theirs;
    bool same;
  } cases[] = {
      {"the same user", user, user, true},
      {"another user of the same machine", user, Sid({21, 1, 2, 3, 1002}), false},
      {"the same number on another machine", user, Sid({21, 1, 2, 4, 1001}), false},
      {"the local system", user, Sid({18}), false},
      {"another authority", user, Sid({21, 1, 2, 3, 1001}, 1), false},
      {"one sub-authority fewer", user, Sid({21, 1, 2, 3}), false},
      {"not learned", user, {}, false},
      {"ours not learned", {}, {}, false},
      {"a byte too many, on both sides", trailing, trailing, false},
      {"an unknown revision, on both sides", revision_two, revision_two, false},
      {"a count the bytes do not hold, on both sides", count_too_high, count_too_high, false},
      {"too short to be one", SidBytes{1, 0, 0, 0}, SidBytes{1, 0, 0, 0}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSameUser(c.ours, c.theirs), c.same) << c.what;
}

TEST(PeerCheck, TheCompanionSpeaksOnlyToTheProgramOfItsUser) {
  const SidBytes user = Sid({21, 1, 2, 3, 1001});
  const SidBytes other = Sid({21, 1, 2, 3, 1002});
  const SidBytes administrators = Sid({32, 544});
  const std::wstring program = L"C:\\Tools\\Quellarotix\\Quellarotix.exe";
  const struct {
    const char* what;
    ChannelServerFacts server;
    bool trusted;
  } cases[] = {
      {"the program, its token and its pipe ours", {program, user, user}, true},
      {"the name in another letter case", {L"D:\\apps\\QUELLAROTIX.EXE", user, user}, true},
      {"started elevated: its token not ours to read", {program, {}, user}, true},
      {"its pipe's owner not told", {program, user, {}}, true},
      {"another program of ours", {L"C:\\Tools\\squatter.exe", user, user}, false},
      {"a longer name", {L"C:\\Tools\\NotQuellarotix.exe", user, user}, false},
      {"the companion's own name", {L"C:\\Tools\\Quellarotix.com", user, user}, false},
      {"the name only as a folder", {L"C:\\Quellarotix.exe\\run.exe", user, user}, false},
      {"its image not told", {L"", user, user}, false},
      {"another user's program", {program, other, other}, false},
      {"another user's token on our pipe", {program, other, user}, false},
      {"the name taken first by another user", {program, user, other}, false},
      {"elevated, the pipe owned by the administrators", {program, {}, administrators}, false},
      {"neither its token nor its pipe told", {program, {}, {}}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsTrustedChannelServer(user, c.server), c.trusted) << c.what;
  EXPECT_FALSE(IsTrustedChannelServer({}, {program, user, user})) << "our own user not learned";
}

}  // namespace
}  // namespace qx
