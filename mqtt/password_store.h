#pragma once
// The MQTT password as the settings file keeps it: encrypted for the current Windows user with
// the program's own entropy (CryptProtectData), as base64 text. Another user, or the same file on
// another PC, cannot decrypt it; the user then has to enter the password again.

#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The blob of a password given in UTF-8, as base64; empty when the system refused to encrypt.
[[nodiscard]] std::string ProtectMqttPassword(std::string_view utf8);
// The password in UTF-8; nothing when the text is no blob of ours for this user (not base64, made
// by another user or machine, or changed).
[[nodiscard]] std::optional<std::string> UnprotectMqttPassword(std::string_view base64);

}  // namespace qx
