#pragma once
// Changing the MQTT settings while the program runs, from the console (`mqtt connect`, `mqtt off`)
// or from the MQTT window's "Применить": the new settings go to the bridge and into the settings
// file at once, the same save the exit makes, so a set-up made by a script survives a crash.

#include <optional>
#include <string>

#include "app/program.h"
#include "control/reply.h"
#include "control/request.h"

namespace qx {

// The computer's DNS host name in UTF-8, from which a node id is first made.
[[nodiscard]] std::string ComputerHostName();

// The link's settings and state as `status`, `mqtt` and the window show them.
[[nodiscard]] MqttLinkStatus ReadMqttLinkStatus(const Program& program);

// Hands `settings` to the bridge and saves the settings file. `password` is the clear password
// when one was just given (UTF-8; empty: none); without it the stored blob is decrypted for the
// bridge. False when the settings file could not be written (the change holds until exit).
[[nodiscard]] bool ChangeMqttSettings(Program& program, const MqttSettings& settings,
                                      std::optional<std::string> password);

// The `mqtt` commands.
[[nodiscard]] Reply RunMqttCommand(Program& program, const Request& request);

}  // namespace qx
