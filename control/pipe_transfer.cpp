#include "control/pipe_transfer.h"

namespace qx {

bool PipeTransfer(HANDLE pipe, HANDLE event, HANDLE stop, bool write, void* buffer, DWORD size, DWORD& done,
                  ULONGLONG deadline) {
  OVERLAPPED overlapped{};
  overlapped.hEvent = event;
  done = 0;
  const BOOL finished =
      write ? WriteFile(pipe, buffer, size, nullptr, &overlapped) : ReadFile(pipe, buffer, size, nullptr, &overlapped);
  if (!finished && GetLastError() != ERROR_IO_PENDING) return false;
  if (!finished) {
    const ULONGLONG now = GetTickCount64();
    const DWORD wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    const HANDLE events[2] = {event, stop};
    if (WaitForMultipleObjects(stop ? 2 : 1, events, FALSE, wait) != WAIT_OBJECT_0) {
      CancelIo(pipe);
      (void)GetOverlappedResult(pipe, &overlapped, &done, TRUE);  // the buffer is ours again
      return false;
    }
  }
  return GetOverlappedResult(pipe, &overlapped, &done, FALSE) && (write ? done == size : done > 0);
}

}  // namespace qx
