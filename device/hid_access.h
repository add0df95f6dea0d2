#pragma once
// HID access: the only code that talks to the platform's HID class services. It finds a device by
// vendor and product id, says whether one is attached, opens handles to it and moves raw reports
// through them. It keeps no device state: every search starts from scratch and the handles it
// returns belong to the caller. Its only state is the two libraries it loads at start-up.
//
// Every search looks at the first 256 HID interfaces in the system's order, opens each one and
// compares its vendor and product id (any release matches); the first match wins. Interfaces that
// cannot be opened, or whose path cannot be had, are passed over. An entry point missing from its
// library (or a library that did not load) is skipped, and its result counts as 0.

#include <cstdint>

#include "device/device_handle.h"

namespace qx {

inline constexpr int kMaxHidInterfaces = 256;

// How a handle from OpenDevice does its I/O. WriteReport and ReadReport need a synchronous handle;
// the sensor thread opens its handle overlapped so that it can cancel a read that waits for a
// report (see sensor_thread.cpp).
enum class DeviceIo { kSynchronous, kOverlapped };

// Makes every later run-time DLL load, ours and the system's own, search the system folder only
// (where the system supports it). Called first thing at start-up.
void RestrictDllSearchToSystemFolder();

// Loads "hid.dll" from the system folder (never from the program's folder) and "setupapi.dll";
// a library that does not load leaves its slot empty.
void LoadHidLibraries();
// The same with other library names (tests use variants that lack an entry point); the hid
// library is looked for in the system folder only.
void LoadHidLibraries(const char* hid_library, const char* setupapi_library);
// Frees both libraries; searches find nothing afterwards.
void UnloadHidLibraries();

// Whether a device with these ids is attached and can be opened (for query only).
[[nodiscard]] bool IsDevicePresent(std::uint16_t vendor_id, std::uint16_t product_id);
// A read/write, inheritable handle to the first attached device with these ids; empty if none.
[[nodiscard]] DeviceHandle OpenDevice(std::uint16_t vendor_id, std::uint16_t product_id,
                                      DeviceIo io = DeviceIo::kSynchronous);
// Closes the handle (nothing for an empty one) and leaves it empty.
void CloseDevice(DeviceHandle& handle);

// Write or read one report through a synchronous handle. An empty handle, a missing buffer or a
// length of 0 or less gives 0 at once without a system call; otherwise the number of bytes moved,
// 0 on failure. A read blocks until the device delivers a report; a failed read leaves the buffer
// as it was.
[[nodiscard]] int WriteReport(const DeviceHandle& handle, const void* buffer, int length);
[[nodiscard]] int ReadReport(const DeviceHandle& handle, void* buffer, int length);

}  // namespace qx
