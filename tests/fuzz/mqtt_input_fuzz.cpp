// Feeds arbitrary bytes to what the MQTT bridge takes from outside: a message from the broker
// (topic, payload, retain flag), the words of `mqtt connect`, the password's word on the pipe, the
// MQTT group of a settings file, and an outlet name going into a discovery config. Beyond not
// crashing: whatever is accepted keeps the rules the topics are built on, a retained or oversized
// message never switches anything, the settings read back as written, and a config is JSON whose
// name reads back as the outlet's name.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "control/reply.h"
#include "control/request.h"
#include "mqtt/connect_arguments.h"
#include "mqtt/discovery.h"
#include "mqtt/mqtt_names.h"
#include "mqtt/password_word.h"
#include "runtime/preferences.h"
#include "tests/support/json_reader.h"
#include "tests/support/memory_storage.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

const qx::TopicNames kNames{"pc1", "ha/x"};

void CheckIncomingMessage(std::string_view bytes) {
  const std::size_t split = bytes.find('\0');
  const std::string_view topic = bytes.substr(0, split);
  const std::string_view payload = split == std::string_view::npos ? std::string_view() : bytes.substr(split + 1);
  for (bool retained : {false, true}) {
    const qx::IncomingMessage message = qx::ParseIncomingMessage(kNames, topic, payload, retained);
    if (message.kind == qx::IncomingMessage::Kind::kIgnored) continue;
    Check(!retained && payload.size() <= qx::kMaxCommandPayload);
    if (message.kind == qx::IncomingMessage::Kind::kSwitchOutlet) {
      Check(message.outlet >= 1 && message.outlet <= qx::kOutletCount);
      Check(topic == qx::OutletSetTopic(kNames, message.outlet));
    } else {
      Check(payload == "online");
    }
  }
}

void CheckConnectArguments(std::string_view bytes) {
  const std::vector<std::string_view> words = qx::SplitWords(bytes);
  const qx::ParsedConnectArguments parsed = qx::ParseConnectArguments(words);
  if (!parsed.arguments) {
    Check(!parsed.error.empty());
    return;
  }
  const qx::ConnectArguments& arguments = *parsed.arguments;
  Check(qx::IsValidServerHost(arguments.server.host));
  Check(arguments.server.port >= 1 && arguments.server.port <= 65535);
  if (arguments.prefix) Check(qx::IsValidDiscoveryPrefix(*arguments.prefix));
  if (arguments.node) Check(qx::NormalizedNodeId(*arguments.node) == arguments.node);
  const qx::MqttSettings after = qx::SettingsAfterConnect({}, arguments, "", "PC");
  Check(after.enabled && after.password.empty() && qx::NormalizedNodeId(after.node) == after.node);
}

void CheckPasswordWord(std::string_view bytes) {
  const std::optional<std::string> password = qx::DecodePasswordWord(bytes);
  if (password) Check(qx::EncodePasswordWord(*password) == bytes);
  if (qx::IsValidUtf8(bytes)) Check(qx::DecodePasswordWord(qx::EncodePasswordWord(bytes)) == bytes);
}

qx::MqttSettings ReadSettingsFile(std::string_view bytes) {
  qx::test::MemoryStorage storage(bytes);
  qx::PreferenceFile file(&storage);
  Check(file.Open("fuzz.ini"));
  return qx::ReadMqttSettings(file);
}

void CheckSettingsGroup(std::string_view bytes) {
  // The input as the group's body, so most runs reach the keys.
  const qx::MqttSettings settings = ReadSettingsFile("[MQTT]\r\n" + std::string(bytes));
  Check(settings.port >= 1 && settings.port <= 65535);
  Check(qx::IsValidDiscoveryPrefix(settings.prefix));
  Check(settings.node.empty() || qx::NormalizedNodeId(settings.node) == settings.node);
  Check(settings.server.empty() || qx::IsValidServerHost(settings.server));
  // Written and read again, the settings come back as they were.
  qx::test::MemoryStorage storage("");
  {
    qx::PreferenceFile file(&storage);
    Check(file.Create("fuzz.ini"));
    qx::WriteMqttSettings(file, settings);
    Check(file.Close());
  }
  Check(ReadSettingsFile(storage.file()) == settings);
}

void CheckOutletName(std::string_view bytes) {
  const qx::DiscoveryDevice device{qx::IsValidUtf8(bytes) ? std::string(bytes) : "pc", "1.0"};
  const qx::RetainedMessage config = qx::OutletDiscoveryConfig(kNames, device, 1, bytes);
  const std::optional<qx::test::JsonValue> json = qx::test::JsonReader::Read(config.payload);
  Check(json.has_value());
  if (bytes.find_first_not_of(' ') != std::string_view::npos) Check((*json)["name"].text == qx::Cp1251ToUtf8(bytes));
  Check((*json)["device"]["name"].text == device.computer_name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckIncomingMessage(bytes);
  CheckConnectArguments(bytes);
  CheckPasswordWord(bytes);
  CheckOutletName(bytes);
  CheckSettingsGroup(bytes);
  return 0;
}
