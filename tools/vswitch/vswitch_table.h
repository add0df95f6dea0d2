#pragma once
// The list of simulated HID interfaces, shared between the simulator and the stand-in DLLs.
//
// The simulator (VirtualSwitch, in-process in tests or inside vswitch.exe) owns a named section
// "Local\QxVirtualSwitch.<session>" holding one InterfaceTable. The stand-in setupapi.dll maps it
// for each SetupDiGetClassDevsA call and copies the listed interfaces into the device information
// set, so every set is a snapshot, as on Windows. The session name comes from the environment
// variable QX_VSWITCH_SESSION ("default" when unset), so several simulators can run side by side.
//
// A simulated device is a message-mode named pipe whose name carries the device's ids
// (...#vid_aaaa&pid_ef02&rev_0100), so the stand-in HidD_GetAttributes needs no table at all.
//
// This header is shared by plain C++ code without the standard library (the stand-in DLLs).

#include <windows.h>

#include <cstdint>

namespace qx::vswitch {

inline constexpr std::uint32_t kTableMagic = 0x53565851;  // "QXVS"
inline constexpr std::uint32_t kTableVersion = 1;
inline constexpr int kMaxInterfaces = 512;
inline constexpr int kPathCapacity = 160;
inline constexpr int kSessionCapacity = 48;

// InterfaceEntry::flags
inline constexpr std::uint16_t kListed = 0x1;          // attached: listed for DIGCF_PRESENT
inline constexpr std::uint16_t kZeroDetailSize = 0x2;  // the detail size query answers 0

struct InterfaceEntry {
  char path[kPathCapacity];  // "\\.\pipe\..." as the program passes it to CreateFileA
  std::uint16_t vendor;
  std::uint16_t product;
  std::uint16_t release;
  std::uint16_t flags;
};

// Calls the stand-ins count, so tests can see how far a search went.
struct StandInCounters {
  volatile LONG class_devs;       // SetupDiGetClassDevsA
  volatile LONG destroyed;        // SetupDiDestroyDeviceInfoList on a set of ours
  volatile LONG enum_calls;       // SetupDiEnumDeviceInterfaces
  volatile LONG enum_max_index;   // highest index asked for, -1 before the first call
  volatile LONG detail_calls;     // SetupDiGetDeviceInterfaceDetailA
  volatile LONG wide_class_devs;  // SetupDiGetClassDevsW (the platform's own monitor queries)
};

struct InterfaceTable {
  std::uint32_t magic;
  std::uint32_t version;
  volatile LONG sequence;  // odd while the simulator rewrites entries; readers retry
  volatile LONG owner_process;
  volatile LONG fail_class_devs;  // nonzero: SetupDiGetClassDevsA returns no set at all
  std::int32_t count;
  StandInCounters counters;
  InterfaceEntry entries[kMaxInterfaces];
};

// The HID interface class, as HidD_GetHidGuid reports it.
inline constexpr GUID kHidInterfaceGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

inline constexpr char kSessionVariable[] = "QX_VSWITCH_SESSION";

// Writes "Local\QxVirtualSwitch.<session>" into `name` (capacity >= 96).
inline void TableNameFor(const char* session, char* name, int capacity) {
  const char prefix[] = "Local\\QxVirtualSwitch.";
  int n = 0;
  for (const char* p = prefix; *p && n < capacity - 1; ++p) name[n++] = *p;
  for (const char* p = session; *p && n < capacity - 1; ++p) name[n++] = *p;
  name[n] = '\0';
}

// The session of this process: QX_VSWITCH_SESSION, or "default".
inline void CurrentSession(char* session, int capacity) {
  DWORD n = GetEnvironmentVariableA(kSessionVariable, session, static_cast<DWORD>(capacity));
  if (n == 0 || n >= static_cast<DWORD>(capacity)) {
    const char fallback[] = "default";
    int i = 0;
    for (; fallback[i] && i < capacity - 1; ++i) session[i] = fallback[i];
    session[i] = '\0';
  }
}

}  // namespace qx::vswitch
