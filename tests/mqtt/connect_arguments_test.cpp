// `mqtt connect` and its neighbours as a script types them: what each accepted command means, why
// each refused one is refused, what the stored settings become, and the password's word on the
// pipe.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/request.h"
#include "mqtt/connect_arguments.h"
#include "mqtt/password_word.h"

namespace qx {
namespace {

ParsedConnectArguments Parse(const std::string& line) {
  const std::vector<std::string_view> words = SplitWords(line);
  return ParseConnectArguments(words);
}

ConnectArguments Arguments(std::string host, int port) {
  ConnectArguments arguments;
  arguments.server = {std::move(host), port};
  return arguments;
}

TEST(MqttConnectArguments, AcceptedCommandsMeanWhatTheySay) {
  ConnectArguments full = Arguments("broker.lan", 1884);
  full.user = "ha";
  full.password_stdin = true;
  full.prefix = "home/assistant";
  full.node = "pc_2";
  ConnectArguments cyrillic_user = Arguments("10.0.0.5", 1883);
  cyrillic_user.user = "\xC8\xE2\xE0\xED";  // Иван, in the settings file's code
  ConnectArguments empty_user = Arguments("h", 1883);
  empty_user.user = "";
  const struct {
    std::string line;
    ConnectArguments expected;
  } cases[] = {
      {"broker.lan", Arguments("broker.lan", 1883)},
      {"broker.lan:1", Arguments("broker.lan", 1)},
      {"broker.lan:65535", Arguments("broker.lan", 65535)},
      {"[::1]", Arguments("::1", 1883)},
      {"[fd00::2]:1884", Arguments("fd00::2", 1884)},
      {"broker.lan:1884 --USER ha --password-stdin --Prefix home/assistant --node PC_2", full},
      {"10.0.0.5 --user \xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD", cyrillic_user},
  };
  for (const auto& c : cases) {
    const ParsedConnectArguments parsed = Parse(c.line);
    ASSERT_TRUE(parsed.arguments) << c.line << ": " << parsed.error;
    EXPECT_EQ(*parsed.arguments, c.expected) << c.line;
  }
  // An empty user name is a value (no user), not a missing one.
  const std::vector<std::string_view> words = {"h", "--user", ""};
  const ParsedConnectArguments parsed = ParseConnectArguments(words);
  ASSERT_TRUE(parsed.arguments) << parsed.error;
  EXPECT_EQ(*parsed.arguments, empty_user);
}

TEST(MqttConnectArguments, RefusalsSayWhy) {
  const struct {
    std::string line;
    std::string reason;  // a part of the message
  } cases[] = {
      {"", "needs the server"},
      {":1883", "host is empty"},
      {"[]:1883", "IPv6"},
      {"host:", "port"},
      {"host:0", "port"},
      {"host:65536", "port"},
      {"host:99999999999", "port"},
      {"host:+1883", "port"},
      {"host:-1", "port"},
      {"host:01883", "leading zeros"},
      {"host:18a3", "port"},
      {"::1", "brackets"},
      {"fd00::1:1883", "brackets"},
      {"[::1", "closing"},
      {"[::1]1883", "\":PORT\""},
      {"[broker]:1883", "IPv6"},
      {"host/x", "host"},
      {"host --prefix home/+", "prefix"},
      {"host --prefix home/#", "prefix"},
      {"host --prefix /home", "prefix"},
      {"host --prefix home/", "prefix"},
      {"host --prefix home//x", "prefix"},
      {"host --node pc.home", "node"},
      {"host --node \xD0\xBF\xD0\xBA", "node"},
      {"host --user \xE2\x82\xAC\xE2\x82\xAC\xE2\x80\x80", "character"},  // U+2000 has no Windows-1251 form
      {"host --verbose", "unknown option"},
      {"host --password secret", "unknown option"},
      {"host extra", "unknown option"},
      {"host --user a --user b", "--user is given twice"},
      {"host --password-stdin --password-stdin", "twice"},
      {"host --node a --NODE b", "--node is given twice"},
      {"host --user", "--user needs a value"},
      {"host --prefix --node x", "--prefix needs a value"},
      {"host --node", "--node needs a value"},
      // Shown shortened to 40 bytes, which end inside the Cyrillic letter: it is left out whole.
      {"host --pa" + std::string(35, '9') + "\xD0\xA5" + "99", "\"--pa" + std::string(35, '9') + "\""},
  };
  for (const auto& c : cases) {
    const ParsedConnectArguments parsed = Parse(c.line);
    EXPECT_FALSE(parsed.arguments) << c.line;
    EXPECT_NE(parsed.error.find(c.reason), std::string::npos) << c.line << ": " << parsed.error;
    EXPECT_TRUE(IsValidUtf8(parsed.error)) << c.line;
  }
}

TEST(MqttCommand, ShowOffAndConnect) {
  const std::vector<std::string_view> none;
  EXPECT_EQ(ParseMqttCommand(none).command->action, MqttAction::kShow);
  const std::vector<std::string_view> off = {"OFF"};
  EXPECT_EQ(ParseMqttCommand(off).command->action, MqttAction::kOff);
  const std::vector<std::string_view> connect = {"connect", "[::1]:1884", "--node", "x"};
  const ParsedMqttCommand parsed = ParseMqttCommand(connect);
  ASSERT_TRUE(parsed.command) << parsed.error;
  EXPECT_EQ(parsed.command->action, MqttAction::kConnect);
  EXPECT_EQ(parsed.command->connect.server, (ServerAddress{"::1", 1884}));
  const std::vector<std::string_view> refused[] = {{"off", "now"}, {"start"}, {"connect"}, {"connect", "h:0"}};
  for (const auto& words : refused) {
    const ParsedMqttCommand failed = ParseMqttCommand(words);
    EXPECT_FALSE(failed.command) << words[0];
    EXPECT_FALSE(failed.error.empty()) << words[0];
  }
}

TEST(MqttConnectSettings, APasswordNeverFollowsToAnotherBrokerOrUser) {
  MqttSettings stored;
  stored.server = "broker.lan";
  stored.port = 1883;
  stored.user = "ha";
  stored.password = "OLD";
  stored.prefix = "hass";
  stored.node = "pc1";

  ConnectArguments same = Arguments("broker.lan", 1883);
  ConnectArguments other_host = Arguments("other.lan", 1883);
  ConnectArguments other_port = Arguments("broker.lan", 1884);
  ConnectArguments other_user = same;
  other_user.user = "root";
  ConnectArguments same_user = same;
  same_user.user = "ha";
  ConnectArguments new_password = other_host;
  new_password.password_stdin = true;
  ConnectArguments no_password = same;
  no_password.password_stdin = true;
  ConnectArguments renamed = same;
  renamed.node = "pc2";
  renamed.prefix = "ha2";
  const struct {
    const char* what;
    ConnectArguments arguments;
    std::string password;  // what the encrypting code made of standard input
    std::string kept;      // the stored password afterwards
  } cases[] = {
      {"same server and user", same, "", "OLD"},
      {"same user given again", same_user, "", "OLD"},
      {"node and prefix changed only", renamed, "", "OLD"},
      {"another host", other_host, "", ""},
      {"another port", other_port, "", ""},
      {"another user", other_user, "", ""},
      {"another host with a new password", new_password, "NEW", "NEW"},
      {"an empty line on standard input", no_password, "", ""},
  };
  for (const auto& c : cases) {
    const MqttSettings after = SettingsAfterConnect(stored, c.arguments, c.password, "Host");
    EXPECT_TRUE(after.enabled) << c.what;
    EXPECT_EQ(after.password, c.kept) << c.what;
    EXPECT_EQ(after.server, c.arguments.server.host) << c.what;
    EXPECT_EQ(after.port, c.arguments.server.port) << c.what;
    EXPECT_EQ(after.user, c.arguments.user.value_or("ha")) << c.what;
    EXPECT_EQ(after.node, c.arguments.node.value_or("pc1")) << c.what;
    EXPECT_EQ(after.prefix, c.arguments.prefix.value_or("hass")) << c.what;
  }
}

TEST(MqttConnectSettings, TheNodeIsFixedFromTheHostNameWhenMqttIsSwitchedOn) {
  MqttSettings stored;
  EXPECT_EQ(SettingsAfterConnect(stored, Arguments("h", 1883), "", "Office.PC").node, "office_pc_483a958c");
  ConnectArguments given = Arguments("h", 1883);
  given.node = "mine";
  EXPECT_EQ(SettingsAfterConnect(stored, given, "", "Office.PC").node, "mine");
  stored.node = "kept";
  EXPECT_EQ(SettingsAfterConnect(stored, Arguments("h", 1883), "", "Renamed-PC").node, "kept");
  // Switched off, nothing is fixed yet; switched on, it is.
  EXPECT_EQ(WithNodeFixed(MqttSettings{}, "pc").node, "");
  MqttSettings on;
  on.enabled = true;
  EXPECT_EQ(WithNodeFixed(on, "pc").node, "pc");
}

TEST(PasswordWord, CarriesAnyPasswordAndRefusesWhatIsNotOne) {
  const std::string passwords[] = {"",
                                   "secret",
                                   "with space\tand tab",
                                   "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C",
                                   "QX/1 status\n",
                                   "\xF0\x9F\x94\x91"};
  for (const std::string& password : passwords) {
    const std::string word = EncodePasswordWord(password);
    EXPECT_EQ(SplitWords(word).size(), 1u) << password;
    EXPECT_EQ(word.find(password.empty() ? "\x01" : password), std::string::npos) << password;
    EXPECT_EQ(DecodePasswordWord(word), password) << word;
  }
  EXPECT_EQ(EncodePasswordWord("A\xFF"), "x41ff");
  const std::string refused[] = {"", "41", "x4", "x4g", "x41FF", "y41", "xff", "xc3"};
  for (const std::string& word : refused) EXPECT_FALSE(DecodePasswordWord(word)) << word;
}

}  // namespace
}  // namespace qx
