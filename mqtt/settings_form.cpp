#include "mqtt/settings_form.h"

#include "mqtt/connect_arguments.h"
#include "mqtt/mqtt_names.h"

namespace qx {
namespace {

MqttFormResult Refused(MqttFormField field) {
  return {std::nullopt, field};
}

// A host may be typed as "[v6:addr]", as on the command line.
std::string_view WithoutBrackets(std::string_view host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
  return host;
}

}  // namespace

MqttFormResult SettingsFromForm(const MqttSettings& stored, const MqttFormFields& fields,
                                std::string_view host_name_utf8) {
  MqttSettings settings = stored;
  settings.enabled = fields.enabled;

  const std::optional<std::string> server = Utf8ToCp1251(WithoutBrackets(fields.server));
  if (!server || (!server->empty() && !IsValidServerHost(*server)) || (fields.enabled && server->empty())) {
    return Refused(MqttFormField::kServer);
  }
  settings.server = *server;
  // The port by the command line's rule: digits only, 1..65535, no leading zero.
  const ParsedServerAddress port = ParseServerAddress("p:" + fields.port);
  if (!port.address) return Refused(MqttFormField::kPort);
  settings.port = port.address->port;

  const std::optional<std::string> user = Utf8ToCp1251(fields.user);
  if (!user) return Refused(MqttFormField::kUser);
  settings.user = *user;

  const std::optional<std::string> prefix = Utf8ToCp1251(fields.prefix);
  if (!prefix || !IsValidDiscoveryPrefix(*prefix)) return Refused(MqttFormField::kPrefix);
  settings.prefix = *prefix;

  // As with `mqtt connect`: a password is never sent to a broker or user it was not given for.
  if (settings.server != stored.server || settings.port != stored.port || settings.user != stored.user) {
    settings.password.clear();
  }

  settings.node.clear();
  if (!fields.node.empty()) {
    const std::optional<std::string> node = NormalizedNodeId(fields.node);
    if (!node) return Refused(MqttFormField::kNode);
    settings.node = *node;
  }
  return {WithNodeFixed(std::move(settings), host_name_utf8), MqttFormField::kNone};
}

}  // namespace qx
