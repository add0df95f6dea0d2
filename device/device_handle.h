#pragma once
// The one owner of a device handle: a UniqueResource whose empty state is the program's 0 ("no
// handle"). Moving passes the ownership on, and the last owner closes it.

#include <windows.h>

#include "runtime/win32/unique_handles.h"

namespace qx {

struct DeviceHandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Release(HANDLE handle) { CloseHandle(handle); }
};

using DeviceHandle = UniqueResource<HANDLE, DeviceHandleTraits>;

// The platform's rule for a handle that CreateFile returned: usable only if above 0 when read as a
// signed 32-bit number, so both 0 and INVALID_HANDLE_VALUE count as failure.
bool IsUsableHandle(HANDLE native);

// Takes a handle the platform returned; a value that is not usable leaves the owner empty.
DeviceHandle AdoptDeviceHandle(HANDLE native);

}  // namespace qx
