#pragma once
// HID access: the only code that talks to the platform's HID class services. It finds a device by
// vendor and product id, says whether one is attached, opens handles to it and moves raw reports
// through them. The handles it returns belong to the caller. Its own state is the two libraries it
// loads at start-up; the only thing remembered between searches is what a PresenceCheck keeps.
//
// Every search lists the first 256 HID interfaces in the system's order, then opens each one and
// compares its vendor and product id (any release matches); the first match wins. Interfaces that
// cannot be opened, or whose path cannot be had, are passed over. An entry point missing from its
// library (or a library that did not load) is skipped, and its result counts as 0.

#include <cstdint>
#include <string>
#include <vector>

#include "device/device_handle.h"

struct _GUID;  // the platform's class identifier

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

// Whether a device with these ids is attached and can be opened (for query only); a full search.
[[nodiscard]] bool IsDevicePresent(std::uint16_t vendor_id, std::uint16_t product_id);

// The presence check that runs every presence period. A full search opens every interface listed
// before the match (all of them when the device is absent), which takes time on a machine with
// many HID interfaces and, done again and again, can disturb other HID devices. So the check
// remembers its last full search: while the list of interface paths is the same as then, it gives
// that search's answer and opens nothing (a plugged device's ids cannot change under the same
// path). It searches fully when the list has changed, and at least every kFullSearchPeriodMs, so
// that an interface that could not be opened is tried again.
//
// Listing the interfaces costs time of its own, growing with their number. So a check that is told
// of device changes (FollowChanges) does not even list them while no change has been told since
// its last listing, except for the full search every kFullSearchPeriodMs, which also catches a
// change that was never told.
inline constexpr std::uint64_t kFullSearchPeriodMs = 10000;

class PresenceCheck {
 public:
  // Milliseconds from any fixed point; the system's tick count unless a test gives its own.
  using Clock = std::uint64_t (*)();
  explicit PresenceCheck(Clock clock = nullptr);
  // How many device changes have been told so far (any count that grows with each one).
  using ChangeCount = std::uint64_t (*)();
  // From now on, lists the interfaces only when `changes` has grown since the last listing (or
  // that listing failed), and at every full search. Null: lists at every check again.
  void FollowChanges(ChangeCount changes) { changes_ = changes; }

  [[nodiscard]] bool IsDevicePresent(std::uint16_t vendor_id, std::uint16_t product_id);
  // Full searches and listings so far.
  int FullSearches() const { return full_searches_; }
  int Listings() const { return listings_; }

 private:
  Clock clock_;
  ChangeCount changes_ = nullptr;
  std::uint64_t changes_listed_ = 0;  // the count when the interfaces were listed last
  bool listing_failed_ = false;
  std::vector<std::string> searched_paths_;  // the list the last full search went through
  std::vector<std::string> listed_paths_;    // this check's list (kept to reuse its memory)
  bool searched_ = false;
  bool answer_ = false;
  std::uint16_t vendor_id_ = 0;
  std::uint16_t product_id_ = 0;
  std::uint64_t searched_at_ = 0;
  int full_searches_ = 0;
  int listings_ = 0;
};
// The class of the HID interfaces, as the hid library gives it (zero without one).
[[nodiscard]] _GUID HidInterfaceClass();
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
