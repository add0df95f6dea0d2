// Stand-in setupapi.dll: lists the interfaces of the virtual SwitchUnit's InterfaceTable as HID
// device interfaces, and answers the platform's own queries (monitors, display adapters) with
// "no devices". Built without exceptions or RTTI; every set lives on the process heap so a set made
// by one copy of this DLL can be read and destroyed by another (the variant DLLs of the tests).

// Our definitions are the exports, not imports.
#define _SETUPAPI_
#include <windows.h>
// (after windows.h, which it needs)
#include <setupapi.h>

#include <cstddef>

#include "tools/vswitch/vswitch_table.h"

using qx::vswitch::InterfaceEntry;
using qx::vswitch::InterfaceTable;

namespace {

constexpr DWORD kSetMagic = 0x54455356;  // "VSET"

struct DeviceInfoSet {
  DWORD magic;
  int count;
  HANDLE table_mapping;  // kept for the counters; may be null
  InterfaceTable* table;
  InterfaceEntry entries[1];  // `count` entries follow
};

DeviceInfoSet* NewSet(int count) {
  const SIZE_T bytes = offsetof(DeviceInfoSet, entries) + sizeof(InterfaceEntry) * (count > 0 ? count : 1);
  auto* set = static_cast<DeviceInfoSet*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
  if (set) set->magic = kSetMagic;
  return set;
}

DeviceInfoSet* SetFrom(HDEVINFO handle) {
  auto* set = static_cast<DeviceInfoSet*>(handle);
  if (!set || handle == INVALID_HANDLE_VALUE || set->magic != kSetMagic) return nullptr;
  return set;
}

bool SameGuid(const GUID& a, const GUID& b) {
  const auto* x = reinterpret_cast<const unsigned char*>(&a);
  const auto* y = reinterpret_cast<const unsigned char*>(&b);
  for (unsigned i = 0; i < sizeof(GUID); ++i) {
    if (x[i] != y[i]) return false;
  }
  return true;
}

void OpenTable(HANDLE* mapping, InterfaceTable** table) {
  char session[qx::vswitch::kSessionCapacity];
  char name[128];
  qx::vswitch::CurrentSession(session, sizeof session);
  qx::vswitch::TableNameFor(session, name, sizeof name);
  *mapping = OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, name);
  *table = nullptr;
  if (!*mapping) return;
  *table = static_cast<InterfaceTable*>(MapViewOfFile(*mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
  if (!*table || (*table)->magic != qx::vswitch::kTableMagic || (*table)->version != qx::vswitch::kTableVersion) {
    if (*table) UnmapViewOfFile(*table);
    CloseHandle(*mapping);
    *mapping = nullptr;
    *table = nullptr;
  }
}

// Copies the entries that the flags ask for; the simulator writes under a sequence count, so a copy
// that overlapped a rewrite is taken again.
DeviceInfoSet* Snapshot(InterfaceTable* table, bool present_only) {
  for (;;) {
    const LONG before = table->sequence;
    if (before & 1) {
      Sleep(0);
      continue;
    }
    MemoryBarrier();
    int count = table->count;
    if (count < 0) count = 0;
    if (count > qx::vswitch::kMaxInterfaces) count = qx::vswitch::kMaxInterfaces;
    DeviceInfoSet* set = NewSet(count);
    if (!set) return nullptr;
    int n = 0;
    for (int i = 0; i < count; ++i) {
      const InterfaceEntry& entry = table->entries[i];
      if (present_only && !(entry.flags & qx::vswitch::kListed)) continue;
      set->entries[n] = entry;
      set->entries[n].path[qx::vswitch::kPathCapacity - 1] = '\0';
      ++n;
    }
    set->count = n;
    MemoryBarrier();
    if (table->sequence == before) return set;
    HeapFree(GetProcessHeap(), 0, set);
  }
}

int Length(const char* text) {
  int n = 0;
  while (text[n]) ++n;
  return n;
}

}  // namespace

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* class_guid, PCSTR enumerator, HWND parent, DWORD flags) {
  (void)enumerator;
  (void)parent;
  HANDLE mapping = nullptr;
  InterfaceTable* table = nullptr;
  OpenTable(&mapping, &table);
  if (table) InterlockedIncrement(&table->counters.class_devs);
  if (table && table->fail_class_devs) {
    UnmapViewOfFile(table);
    CloseHandle(mapping);
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const bool wanted =
      class_guid && (flags & DIGCF_DEVICEINTERFACE) && SameGuid(*class_guid, qx::vswitch::kHidInterfaceGuid);
  DeviceInfoSet* set = (table && wanted) ? Snapshot(table, (flags & DIGCF_PRESENT) != 0) : NewSet(0);
  if (!set) {
    if (table) {
      UnmapViewOfFile(table);
      CloseHandle(mapping);
    }
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  set->table_mapping = mapping;
  set->table = table;
  return set;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO handle) {
  DeviceInfoSet* set = SetFrom(handle);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (set->table) {
    InterlockedIncrement(&set->table->counters.destroyed);
    UnmapViewOfFile(set->table);
  }
  if (set->table_mapping) CloseHandle(set->table_mapping);
  set->magic = 0;
  HeapFree(GetProcessHeap(), 0, set);
  return TRUE;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO handle, PSP_DEVINFO_DATA device_info, const GUID* class_guid,
                                        DWORD index, PSP_DEVICE_INTERFACE_DATA data) {
  (void)device_info;
  DeviceInfoSet* set = SetFrom(handle);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (set->table) {
    InterlockedIncrement(&set->table->counters.enum_calls);
    LONG seen = set->table->counters.enum_max_index;
    while (static_cast<LONG>(index) > seen) {
      const LONG was = InterlockedCompareExchange(&set->table->counters.enum_max_index, static_cast<LONG>(index), seen);
      if (was == seen) break;
      seen = was;
    }
  }
  if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (!class_guid || !SameGuid(*class_guid, qx::vswitch::kHidInterfaceGuid) ||
      index >= static_cast<DWORD>(set->count)) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  data->InterfaceClassGuid = qx::vswitch::kHidInterfaceGuid;
  data->Flags = SPINT_ACTIVE;
  data->Reserved = static_cast<ULONG_PTR>(index) + 1;
  return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO handle, PSP_DEVICE_INTERFACE_DATA data,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detail_size,
                                             PDWORD required_size, PSP_DEVINFO_DATA device_info) {
  (void)device_info;
  DeviceInfoSet* set = SetFrom(handle);
  if (!set) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (set->table) InterlockedIncrement(&set->table->counters.detail_calls);
  if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || data->Reserved == 0 ||
      data->Reserved > static_cast<ULONG_PTR>(set->count)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const InterfaceEntry& entry = set->entries[data->Reserved - 1];
  const DWORD path_bytes = static_cast<DWORD>(Length(entry.path)) + 1;
  const DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath)) + path_bytes;
  if (entry.flags & qx::vswitch::kZeroDetailSize) {
    // A driver stack that answers the size query with nothing at all.
    if (required_size) *required_size = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (required_size) *required_size = needed;
  if (!detail) {
    SetLastError(detail_size ? ERROR_INVALID_USER_BUFFER : ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (detail_size < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  for (DWORD i = 0; i < path_bytes; ++i) detail->DevicePath[i] = entry.path[i];
  return TRUE;
}

// --- The platform's own queries: there are no such devices here. ------------------------------

HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* class_guid, PCWSTR enumerator, HWND parent, DWORD flags) {
  (void)class_guid;
  (void)enumerator;
  (void)parent;
  (void)flags;
  HANDLE mapping = nullptr;
  InterfaceTable* table = nullptr;
  OpenTable(&mapping, &table);
  if (table) {
    InterlockedIncrement(&table->counters.wide_class_devs);
    UnmapViewOfFile(table);
    CloseHandle(mapping);
  }
  DeviceInfoSet* set = NewSet(0);
  if (!set) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  return set;
}

HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID* class_guid, HWND parent) {
  (void)class_guid;
  (void)parent;
  DeviceInfoSet* set = NewSet(0);
  if (!set) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  return set;
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO handle, DWORD index, PSP_DEVINFO_DATA device_info) {
  (void)index;
  (void)device_info;
  SetLastError(SetFrom(handle) ? ERROR_NO_MORE_ITEMS : ERROR_INVALID_HANDLE);
  return FALSE;
}

BOOL WINAPI SetupDiOpenDeviceInfoW(HDEVINFO handle, PCWSTR instance_id, HWND parent, DWORD flags,
                                   PSP_DEVINFO_DATA device_info) {
  (void)instance_id;
  (void)parent;
  (void)flags;
  (void)device_info;
  SetLastError(SetFrom(handle) ? ERROR_NO_SUCH_DEVINST : ERROR_INVALID_HANDLE);
  return FALSE;
}

BOOL WINAPI SetupDiGetDevicePropertyW(HDEVINFO handle, PSP_DEVINFO_DATA device_info, const DEVPROPKEY* key,
                                      DEVPROPTYPE* type, PBYTE buffer, DWORD size, PDWORD required_size, DWORD flags) {
  (void)device_info;
  (void)key;
  (void)type;
  (void)buffer;
  (void)size;
  (void)required_size;
  (void)flags;
  SetLastError(SetFrom(handle) ? ERROR_NO_SUCH_DEVINST : ERROR_INVALID_HANDLE);
  return FALSE;
}

}  // extern "C"
