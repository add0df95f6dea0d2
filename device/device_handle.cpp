#include "device/device_handle.h"

#include <cstdint>

namespace qx {

bool IsUsableHandle(HANDLE native) {
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(native)) > 0;
}

DeviceHandle AdoptDeviceHandle(HANDLE native) {
  if (IsUsableHandle(native)) return DeviceHandle(native);
  if (native && native != INVALID_HANDLE_VALUE) CloseHandle(native);  // a value the platform should never give; do not leak it
  return DeviceHandle();
}

}  // namespace qx
