#pragma once
// What a script's command does in the running program. The console channel reads the request on
// its own threads; the handler here runs on the user-interface thread, where a menu command runs.

#include "app/program.h"
#include "control/reply.h"
#include "control/request.h"

namespace qx {

// Serves the console channel for `program` until shutdown stops it. False when it cannot be
// served (its name is held by another process): the program then runs on without it.
bool StartConsoleChannel(Program& program);

// Carries out one request and says how it went (the reply's status is the console's exit code).
[[nodiscard]] Reply RunConsoleCommand(Program& program, const Request& request);

// The program's state as the windows show it now.
[[nodiscard]] ProgramStatus ReadProgramStatus(const Program& program);

// Whether a script asked the program to end; its shutdown then shows no box.
[[nodiscard]] bool EndRequestedByScript();

}  // namespace qx
