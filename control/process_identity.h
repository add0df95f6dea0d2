#pragma once
// What the system tells of a process and of a pipe object, as the console channel's checks of the
// other end take it (control/peer_check.h). Windows only; kernel32 and advapi32, no user32.

#include <windows.h>

#include <string>

#include "control/peer_check.h"
#include "runtime/win32/unique_handles.h"

namespace qx {

// The process with the most query access it grants us: full query rights where they are given,
// else the limited ones that even a process started elevated gives its user. Empty if neither.
[[nodiscard]] UniqueHandle OpenProcessToQuery(DWORD process_id);

// The user of the process's token; empty when the token cannot be read.
[[nodiscard]] SidBytes ProcessUser(HANDLE process);

// The full path of the process's image; empty when not told.
[[nodiscard]] std::wstring ProcessImagePath(HANDLE process);

// The owner of a kernel object opened with READ_CONTROL (a pipe opened for reading is); empty when
// not told.
[[nodiscard]] SidBytes ObjectOwner(HANDLE object);

}  // namespace qx
