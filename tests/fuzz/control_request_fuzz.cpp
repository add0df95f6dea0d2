// Feeds arbitrary bytes to the console channel's readers, as a client on the pipe could send them.
// Beyond not crashing: a line taken as a request is one a client could have sent (UTF-8, within
// the limit) and means the same once written out again; a refusal's message is UTF-8, since it
// goes back to the client; a reply read back is exactly the bytes it would be written as; and any
// name the program could hold comes out as a JSON string that reads back as its UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "control/reply.h"
#include "control/request.h"
#include "mqtt/connection_status.h"
#include "tests/support/json_reader.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void AddOption(std::vector<std::string>& words, const char* option, const std::optional<std::string>& value) {
  if (!value) return;
  words.push_back(option);
  words.push_back(qx::Cp1251ToUtf8(*value));
}

std::vector<std::string> Words(const qx::Request& request) {
  static const char* const kVerbs[] = {"status", "temperature", "on", "off", "toggle", "show", "quit", "mqtt"};
  std::vector<std::string> words = {kVerbs[static_cast<int>(request.verb)]};
  if (request.verb == qx::Verb::kMqtt && request.mqtt.action == qx::MqttAction::kOff) words.push_back("off");
  if (request.verb == qx::Verb::kMqtt && request.mqtt.action == qx::MqttAction::kConnect) {
    const qx::ConnectArguments& connect = request.mqtt.connect;
    words.push_back("connect");
    words.push_back(qx::Cp1251ToUtf8(qx::ServerText(connect.server.host, connect.server.port)));
    AddOption(words, "--user", connect.user);
    if (connect.password_stdin) words.push_back("--password-stdin");
    AddOption(words, "--prefix", connect.prefix);
    AddOption(words, "--node", connect.node);
  }
  if (request.json) words.push_back("--json");
  for (int outlet = 1; outlet <= qx::kOutletCount; ++outlet) {
    if (request.Names(outlet)) words.push_back(std::to_string(outlet));
  }
  return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const qx::ParsedRequest parsed = qx::ParseRequestLine(bytes);
  if (parsed.request) {
    Check(qx::IsValidUtf8(bytes));
    Check(size <= qx::kMaxRequestBytes + 2);
    // A password comes only with the option that asks for it.
    if (!parsed.request->password.empty()) Check(parsed.request->mqtt.connect.password_stdin);
    const std::vector<std::string> words = Words(*parsed.request);
    const std::optional<std::string_view> password = parsed.request->mqtt.connect.password_stdin
                                                         ? std::optional<std::string_view>(parsed.request->password)
                                                         : std::nullopt;
    const qx::ParsedRequest again = qx::ParseRequestLine(qx::RequestLine(words, password));
    Check(again.request && *again.request == *parsed.request);
  } else {
    Check(!parsed.error.empty() && qx::IsValidUtf8(parsed.error));
  }

  if (const std::optional<qx::Reply> reply = qx::ParseReply(bytes)) Check(qx::FormatReply(*reply) == bytes);

  const std::string utf8 = qx::Cp1251ToUtf8(bytes);
  Check(qx::IsValidUtf8(utf8));
  const std::optional<qx::test::JsonValue> json = qx::test::JsonReader::Read(qx::JsonString(utf8));
  Check(json && json->kind == qx::test::JsonValue::Kind::kString && json->text == utf8);
  return 0;
}
