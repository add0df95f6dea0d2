#pragma once
// The computer's name as the MQTT device is called and its default node id is made from.

#include <string>

namespace qx {

// The DNS host name (ComputerNameDnsHostname) in UTF-8; empty when the system gives none.
[[nodiscard]] std::string ComputerDnsHostName();

}  // namespace qx
