#include "mqtt/connect_arguments.h"

#include "control/request.h"
#include "mqtt/mqtt_names.h"

namespace qx {
namespace {

bool SameOption(std::string_view word, std::string_view lower) {
  return LowerAscii(word) == lower;
}

ParsedServerAddress AddressFailure(std::string error) {
  return {std::nullopt, std::move(error)};
}

ParsedConnectArguments ConnectFailure(std::string error) {
  return {std::nullopt, std::move(error)};
}

std::optional<int> PortNumber(std::string_view text) {
  if (text.empty() || text.size() > 5 || text[0] == '0') return std::nullopt;
  int port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + (c - '0');
  }
  if (port > 65535) return std::nullopt;
  return port;
}

}  // namespace

ParsedServerAddress ParseServerAddress(std::string_view text) {
  std::string_view host = text;
  std::string_view port_text;
  bool has_port = false;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return AddressFailure("an IPv6 address needs its closing \"]\"");
    host = text.substr(1, close - 1);
    if (host.find(':') == std::string_view::npos) return AddressFailure("brackets are for an IPv6 address only");
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return AddressFailure("only \":PORT\" may follow an IPv6 address's \"]\"");
      port_text = rest.substr(1);
      has_port = true;
    }
  } else {
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos) {
      if (text.find(':', colon + 1) != std::string_view::npos) {
        return AddressFailure("an IPv6 address must be written in brackets: [ADDRESS]:PORT");
      }
      host = text.substr(0, colon);
      port_text = text.substr(colon + 1);
      has_port = true;
    }
  }
  if (host.empty()) return AddressFailure("the server's host is empty");
  ServerAddress address;
  if (has_port) {
    const std::optional<int> port = PortNumber(port_text);
    if (!port) return AddressFailure("the port must be a number from 1 to 65535, without sign or leading zeros");
    address.port = *port;
  }
  std::optional<std::string> host_bytes = Utf8ToCp1251(host);
  if (!host_bytes) return AddressFailure("the server's host has a character the settings file cannot hold");
  if (!IsValidServerHost(*host_bytes))
    return AddressFailure("the server's host may not hold spaces, \"/\" or control characters");
  address.host = std::move(*host_bytes);
  return {std::move(address), {}};
}

ParsedConnectArguments ParseConnectArguments(std::span<const std::string_view> words) {
  if (words.empty()) return ConnectFailure("mqtt connect needs the server: mqtt connect HOST[:PORT]");
  ParsedServerAddress server = ParseServerAddress(words[0]);
  if (!server.address) return ConnectFailure(std::move(server.error));
  ConnectArguments arguments;
  arguments.server = std::move(*server.address);

  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string_view option = words[i];
    if (SameOption(option, "--password-stdin")) {
      if (arguments.password_stdin) return ConnectFailure("--password-stdin is given twice");
      arguments.password_stdin = true;
      continue;
    }
    std::optional<std::string>* slot = nullptr;
    const char* name = nullptr;
    if (SameOption(option, "--user")) {
      slot = &arguments.user, name = "--user";
    } else if (SameOption(option, "--prefix")) {
      slot = &arguments.prefix, name = "--prefix";
    } else if (SameOption(option, "--node")) {
      slot = &arguments.node, name = "--node";
    } else {
      // The word is the user's own typing, never the password (which has no option word).
      return ConnectFailure("unknown option for mqtt connect: \"" + std::string(Utf8Prefix(option, 40)) + "\"");
    }
    if (slot->has_value()) return ConnectFailure(std::string(name) + " is given twice");
    // A following option is not taken as this one's value: "--user --node x" lost its name.
    if (i + 1 >= words.size() || words[i + 1].starts_with("--")) {
      return ConnectFailure(std::string(name) + " needs a value");
    }
    const std::string_view value = words[++i];
    std::optional<std::string> bytes = Utf8ToCp1251(value);
    if (!bytes) return ConnectFailure(std::string(name) + " has a character the settings file cannot hold");
    if (slot == &arguments.prefix && !IsValidDiscoveryPrefix(*bytes)) {
      return ConnectFailure("the prefix may not hold \"+\", \"#\", spaces, an empty level or a \"/\" at either end");
    }
    if (slot == &arguments.node) {
      bytes = NormalizedNodeId(*bytes);
      if (!bytes) return ConnectFailure("the node may hold only letters a-z, digits, \"_\" and \"-\"");
    }
    *slot = std::move(bytes);
  }
  return {std::move(arguments), {}};
}

ParsedMqttCommand ParseMqttCommand(std::span<const std::string_view> words) {
  if (words.empty()) return {MqttCommand{}, {}};
  if (SameOption(words[0], "off")) {
    if (words.size() > 1) return {std::nullopt, "mqtt off takes no arguments"};
    return {MqttCommand{MqttAction::kOff, {}}, {}};
  }
  if (SameOption(words[0], "connect")) {
    ParsedConnectArguments parsed = ParseConnectArguments(words.subspan(1));
    if (!parsed.arguments) return {std::nullopt, std::move(parsed.error)};
    return {MqttCommand{MqttAction::kConnect, std::move(*parsed.arguments)}, {}};
  }
  return {std::nullopt, "mqtt takes \"connect HOST[:PORT] ...\", \"off\" or nothing"};
}

MqttSettings SettingsAfterConnect(const MqttSettings& stored, const ConnectArguments& arguments,
                                  std::string_view password, std::string_view host_name_utf8) {
  MqttSettings settings = stored;
  settings.enabled = true;
  settings.server = arguments.server.host;
  settings.port = arguments.server.port;
  if (arguments.user) settings.user = *arguments.user;
  if (arguments.prefix) settings.prefix = *arguments.prefix;
  if (arguments.node) settings.node = *arguments.node;
  const bool other_broker = settings.server != stored.server || settings.port != stored.port;
  if (arguments.password_stdin) {
    settings.password = password;
  } else if (other_broker || settings.user != stored.user) {
    settings.password.clear();
  }
  return WithNodeFixed(std::move(settings), host_name_utf8);
}

MqttSettings WithNodeFixed(MqttSettings settings, std::string_view host_name_utf8) {
  if (settings.enabled && settings.node.empty()) settings.node = NodeIdForHostName(host_name_utf8);
  return settings;
}

}  // namespace qx
