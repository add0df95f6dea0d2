#pragma once
// The program's end of the console channel: a named pipe, served on threads of its own, whose
// requests are carried out on the user-interface thread.

#include <string>

#include "control/reply.h"
#include "control/request.h"

namespace qx {

// Carries out one well-formed request on the user-interface thread and says how it went. (A plain
// function: the program has one, and a std::function's machinery would cost the program's file
// more than the whole handler.)
using CommandHandler = Reply (*)(const Request&);

// Called on the user-interface thread. Makes the pipe's first instance under `pipe_name` and starts
// serving it. False (and nothing is served) when the name is taken already -- by anyone, so a pipe
// squatted before the program started is never shared -- or the system refused.
[[nodiscard]] bool StartControlServer(const std::wstring& pipe_name, CommandHandler handler);

// Called on the user-interface thread at the end. Refuses new requests (a waiting one is told the
// program is ending), stops listening, and gives replies already decided up to 2 s to go out,
// so a `quit` is answered before the process ends. Does nothing if no server runs.
void StopControlServer();

// A request that has been read waits this long for the user-interface thread; a client this long
// for a whole request line before it is dropped.
inline constexpr unsigned kCommandWaitMs = 4000;
inline constexpr unsigned kRequestLineWaitMs = 2000;

}  // namespace qx
