#include "device/device_handle.h"

#include <windows.h>

#include <cstdint>

namespace qx {

bool IsUsableHandle(void* native) {
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(native)) > 0;
}

DeviceHandle::DeviceHandle(void* native) {
  if (IsUsableHandle(native)) {
    native_ = native;
  } else if (native && native != INVALID_HANDLE_VALUE) {
    CloseHandle(native);  // a value the platform should never give; do not leak it
  }
}

void DeviceHandle::reset(void* native) {
  void* old = std::exchange(native_, native);
  if (old) CloseHandle(old);
}

}  // namespace qx
