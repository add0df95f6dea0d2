#pragma once
// One timed transfer on the console channel's pipe, as both of its ends make them. Windows only.

#include <windows.h>

namespace qx {

// One overlapped read or write on `pipe` (opened for overlapped I/O; `event` a manual-reset event
// of the caller's) that must finish by `deadline` (GetTickCount64) and, when `stop` is given,
// before that is set. True if a write went whole or a read brought at least one byte, with the
// count in `done`; false if it failed, the other end went away, the deadline passed or `stop` was
// set. A transfer given up is cancelled and waited for, so `buffer` is the caller's again.
[[nodiscard]] bool PipeTransfer(HANDLE pipe, HANDLE event, HANDLE stop, bool write, void* buffer, DWORD size,
                                DWORD& done, ULONGLONG deadline);

}  // namespace qx
