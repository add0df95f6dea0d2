#pragma once
// Windows ending the session (log-off, shutdown, restart) must not cost the user the run's
// settings or skip the exit policy.

#include "app/program.h"

namespace qx {

// Watches window 0 for the end of the session; when it comes, runs the shutdown and ends the
// process with exit code 0 before the system does. Returns false if the watch could not be set.
[[nodiscard]] bool WatchForSessionEnd(Program& program);

}  // namespace qx
