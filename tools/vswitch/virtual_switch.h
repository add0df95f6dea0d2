#pragma once
// The virtual SwitchUnit: simulated HID devices on message-mode named pipes, listed to the
// stand-in setupapi.dll through the session's InterfaceTable (see vswitch_table.h).
//
// One server thread does all pipe I/O through a completion port. Every device keeps a few pipe
// instances listening at all times (more are added as clients connect), because a real HID
// device accepts any number of opens and the program opens the same device three times back to
// back. A device:
//   - records every output report (each message a client writes) with its arrival time;
//   - sends its input report (by default [0, count low, count high]) to every open handle, at a
//     set rate or on demand. A handle gets the next report only after it has read the last one,
//     so each read returns exactly one report, as from a HID driver;
//   - on unplug, leaves the list and breaks every open handle: pending reads and writes fail.
// The public calls may come from any thread; the ones that change devices run on the server
// thread and return when done, so after Unplug() returns the device is gone for every client.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/vswitch/vswitch_table.h"

namespace qx::vswitch {

inline constexpr std::uint16_t kSwitchUnitVendor = 0xAAAA;
inline constexpr std::uint16_t kSwitchUnitProduct = 0xEF02;

enum class InterfaceKind {
  kDevice,          // a served device
  kUnopenable,      // listed, but its path cannot be opened (held elsewhere, half removed)
  kZeroDetailSize,  // listed, but its detail size query answers 0
};

struct DeviceSpec {
  std::uint16_t vendor = kSwitchUnitVendor;
  std::uint16_t product = kSwitchUnitProduct;
  std::uint16_t release = 0x0100;
  InterfaceKind kind = InterfaceKind::kDevice;
  bool plugged = true;
};

struct OutputReport {
  std::int64_t qpc = 0;  // QueryPerformanceCounter at arrival (one clock for all processes)
  std::vector<std::uint8_t> bytes;
};

struct DeviceStatus {
  bool exists = false;
  DeviceSpec spec;
  bool plugged = false;
  int open_handles = 0;             // clients connected now
  std::int64_t opens = 0;           // clients accepted since the start
  std::int64_t reports_read = 0;    // input reports taken by a client
  std::int64_t output_reports = 0;  // output reports received
  int outlets = -1;                 // byte 1 of the last 2-byte output report, -1 before one
  std::vector<std::uint8_t> input_report;
  double rate = 0;  // input reports per second, 0 = on demand only
};

// The session of this process (QX_VSWITCH_SESSION or "default").
std::string CurrentSessionName();

class VirtualSwitch {
 public:
  explicit VirtualSwitch(std::string session = CurrentSessionName());
  ~VirtualSwitch();
  VirtualSwitch(const VirtualSwitch&) = delete;
  VirtualSwitch& operator=(const VirtualSwitch&) = delete;

  // Publishes the session's table and starts serving. False if another running simulator serves
  // the session or the platform refused.
  bool Start();
  // Unplugs everything, ends the server thread and withdraws the table. Also done by the destructor.
  void Stop();
  const std::string& session() const;

  // Adds an interface at the end of the list; returns its slot (list position), or -1.
  int AddDevice(const DeviceSpec& spec = {});
  int DeviceCount() const;
  bool Plug(int slot);
  bool Unplug(int slot);

  // The input report from now on: [0x00, count low, count high].
  bool SetCount(int slot, int count);
  // The input report from now on, exactly these bytes (0 to 64 of them; short and long ones too).
  bool SetRawReport(int slot, const std::vector<std::uint8_t>& bytes);
  // Reports per second; 0 sends only on demand.
  bool SetRate(int slot, double per_second);
  // Offers the current input report to every open handle now.
  bool SendInputReport(int slot);
  // Returns once the simulator has handled every open and close that reached it before the call,
  // so the next open finds the device listening again (a test that opens a device in a tight
  // loop waits here, as the program's 400 ms between checks would).
  void Sync();

  std::vector<OutputReport> OutputReports(int slot) const;
  void ClearOutputReports(int slot);
  // Waits until the device has received at least `count` output reports since the last clear.
  bool WaitForOutputReports(int slot, std::size_t count, int timeout_ms) const;
  DeviceStatus Status(int slot) const;
  // The pipe path a client opens for this slot.
  std::string DevicePath(int slot) const;

  // What the stand-ins counted since the start or the last reset.
  StandInCounters Counters() const;
  void ResetCounters();
  // While on, SetupDiGetClassDevsA returns no device information set.
  void SetClassDevsFailure(bool fail);

  // Called after every change (plug, unplug, report in or out, settings), mostly on the server
  // thread; it must not block and must not call back into this object. Set it before Start().
  void SetChangeCallback(std::function<void()> callback);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The current QueryPerformanceCounter value and frequency, for timing against OutputReport::qpc.
std::int64_t PerformanceCounter();
std::int64_t PerformanceFrequency();

}  // namespace qx::vswitch
