#pragma once
// The one owner of a device handle. Empty means "no handle" (the program's 0); moving passes the
// ownership on, and the last owner closes it.

#include <utility>

namespace qx {

class DeviceHandle {
 public:
  DeviceHandle() = default;
  // Takes a handle the platform returned; a value that is not a usable handle (0, -1, or anything
  // not above 0 as a signed 32-bit number) leaves the wrapper empty.
  explicit DeviceHandle(void* native);
  DeviceHandle(const DeviceHandle&) = delete;
  DeviceHandle& operator=(const DeviceHandle&) = delete;
  DeviceHandle(DeviceHandle&& other) noexcept : native_(other.release()) {}
  DeviceHandle& operator=(DeviceHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~DeviceHandle() { reset(); }

  void* get() const { return native_; }
  explicit operator bool() const { return native_ != nullptr; }
  void* release() { return std::exchange(native_, nullptr); }
  // Closes the handle held (if any) and takes `native` (already checked by the caller, or null).
  void reset(void* native = nullptr);

 private:
  void* native_ = nullptr;
};

// The platform's rule for a handle that CreateFile returned: usable only if above 0 when read as a
// signed 32-bit number, so both 0 and INVALID_HANDLE_VALUE count as failure.
bool IsUsableHandle(void* native);

}  // namespace qx
