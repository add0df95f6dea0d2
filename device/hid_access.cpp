#include "device/hid_access.h"

#include <windows.h>
// (after windows.h, which they need)
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <cstddef>
#include <string>
#include <vector>

namespace qx {

namespace {

// The run-time-loaded entry points, looked up by name at every call.
using HidGetHidGuidProc = void(WINAPI*)(GUID*);
using HidGetAttributesProc = BOOLEAN(WINAPI*)(HANDLE, PHIDD_ATTRIBUTES);
using EnumDeviceInterfacesProc = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                               PSP_DEVICE_INTERFACE_DATA);
using GetInterfaceDetailProc = BOOL(WINAPI*)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA, PSP_DEVICE_INTERFACE_DETAIL_DATA_A,
                                             DWORD, PDWORD, PSP_DEVINFO_DATA);

// A device path longer than this is not one; a size query that asks for more is passed over.
constexpr DWORD kMaxDetailSize = 32 * 1024;

// The layer's only state. Written before the user-interface loop and the sensor thread start,
// emptied after the loop has ended.
struct HidLibrarySlots {
  HMODULE hid = nullptr;
  HMODULE setupapi = nullptr;
};

HidLibrarySlots g_libraries;

template <typename Proc>
Proc EntryPoint(HMODULE library, const char* name) {
  if (!library) return nullptr;
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Copies the path of one listed interface into `path`, or leaves it empty when it cannot be had: a
// missing entry point, a size query that answers 0 (or nonsense), or no memory. Nothing is written
// into a buffer we did not get. `buffer` only lends its memory from one interface to the next.
void InterfacePath(GetInterfaceDetailProc detail, HDEVINFO set, SP_DEVICE_INTERFACE_DATA* interface_data,
                   std::vector<unsigned char>& buffer, std::string& path) {
  path.clear();
  if (!detail) return;
  DWORD required = 0;
  detail(set, interface_data, nullptr, 0, &required, nullptr);
  constexpr DWORD kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  if (required <= kPathOffset || required > kMaxDetailSize) return;
  buffer.assign(required, 0);
  auto* record = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
  record->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  detail(set, interface_data, record, required, nullptr, nullptr);
  const char* text = record->DevicePath;
  std::size_t length = 0;
  while (length < required - kPathOffset && text[length] != '\0') ++length;
  path.assign(text, length);
}

// Lists the paths of the first 256 HID interfaces, in the system's order (an interface whose path
// cannot be had is listed with an empty one). False when no device information set could be had.
bool ListInterfacePaths(std::vector<std::string>& paths) {
  GUID hid_class = HidInterfaceClass();

  HDEVINFO set = SetupDiGetClassDevsA(&hid_class, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE || set == nullptr) {
    paths.clear();
    return false;
  }

  const auto enumerate = EntryPoint<EnumDeviceInterfacesProc>(g_libraries.setupapi, "SetupDiEnumDeviceInterfaces");
  const auto detail = EntryPoint<GetInterfaceDetailProc>(g_libraries.setupapi, "SetupDiGetDeviceInterfaceDetailA");
  SP_DEVICE_INTERFACE_DATA interface_data{};
  interface_data.cbSize = sizeof interface_data;
  std::vector<unsigned char> buffer;
  // The strings of an earlier list are written over, so a steady list costs few allocations.
  std::size_t count = 0;
  for (DWORD index = 0; index < kMaxHidInterfaces; ++index) {
    if (!enumerate || !enumerate(set, nullptr, &hid_class, index, &interface_data)) break;
    if (count == paths.size()) paths.emplace_back();
    InterfacePath(detail, set, &interface_data, buffer, paths[count++]);
  }
  paths.resize(count);
  SetupDiDestroyDeviceInfoList(set);
  return true;
}

enum class SearchFor { kPresence, kHandle };

// Opens the listed interfaces in turn until one has the ids; returns its open handle (kHandle), a
// non-null marker for a match (kPresence), or null.
HANDLE OpenFirstMatch(const std::vector<std::string>& paths, std::uint16_t vendor_id, std::uint16_t product_id,
                      SearchFor mode, DeviceIo io) {
  const auto get_attributes = EntryPoint<HidGetAttributesProc>(g_libraries.hid, "HidD_GetAttributes");
  for (const std::string& path : paths) {
    if (path.empty()) continue;

    HANDLE candidate;
    if (mode == SearchFor::kPresence) {
      candidate = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    } else {
      SECURITY_ATTRIBUTES security{};
      security.nLength = sizeof security;
      security.lpSecurityDescriptor = nullptr;
      security.bInheritHandle = TRUE;
      candidate = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                              OPEN_EXISTING, io == DeviceIo::kOverlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    }
    DeviceHandle handle = AdoptDeviceHandle(candidate);
    if (!handle) continue;

    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (get_attributes) get_attributes(handle.get(), &attributes);
    if (mode == SearchFor::kPresence) handle.reset();

    if (attributes.VendorID == vendor_id && attributes.ProductID == product_id) {
      return mode == SearchFor::kPresence ? INVALID_HANDLE_VALUE : handle.release();
    }
    // no match: the handle closes here
  }
  return nullptr;
}

HANDLE Search(std::uint16_t vendor_id, std::uint16_t product_id, SearchFor mode, DeviceIo io) {
  std::vector<std::string> paths;
  if (!ListInterfacePaths(paths)) return nullptr;
  return OpenFirstMatch(paths, vendor_id, product_id, mode, io);
}

std::uint64_t SystemMilliseconds() {
  return GetTickCount64();
}

using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);

SetDefaultDllDirectoriesProc SetDefaultDllDirectoriesEntry() {
  return EntryPoint<SetDefaultDllDirectoriesProc>(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
}

// hid.dll is not one of the system's known DLLs: loaded by its bare name, a hid.dll in the
// program's folder (a Downloads folder, say) would run its code inside the program. So it comes
// from the system folder only. A Windows 7 without the update that brought
// LOAD_LIBRARY_SEARCH_SYSTEM32 (it brought SetDefaultDllDirectories too, by which we tell) gets
// the full path instead.
HMODULE LoadSystemLibrary(const char* name) {
  if (SetDefaultDllDirectoriesEntry()) return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  return LoadLibraryA((std::string(folder, length) + "\\" + name).c_str());
}

}  // namespace

void RestrictDllSearchToSystemFolder() {
  if (const auto set_directories = SetDefaultDllDirectoriesEntry()) set_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void LoadHidLibraries() {
  LoadHidLibraries("hid.dll", "setupapi.dll");
}

void LoadHidLibraries(const char* hid_library, const char* setupapi_library) {
  UnloadHidLibraries();
  g_libraries.hid = LoadSystemLibrary(hid_library);
  // setupapi is imported by the program already (and is one of the system's known DLLs), so this
  // finds the module that is loaded.
  g_libraries.setupapi = LoadLibraryA(setupapi_library);
}

void UnloadHidLibraries() {
  if (g_libraries.hid) FreeLibrary(g_libraries.hid);
  if (g_libraries.setupapi) FreeLibrary(g_libraries.setupapi);
  g_libraries = {};
}

GUID HidInterfaceClass() {
  GUID hid_class{};
  if (const auto get_guid = EntryPoint<HidGetHidGuidProc>(g_libraries.hid, "HidD_GetHidGuid")) get_guid(&hid_class);
  return hid_class;
}

bool IsDevicePresent(std::uint16_t vendor_id, std::uint16_t product_id) {
  return Search(vendor_id, product_id, SearchFor::kPresence, DeviceIo::kSynchronous) != nullptr;
}

PresenceCheck::PresenceCheck(Clock clock) : clock_(clock ? clock : SystemMilliseconds) {}

bool PresenceCheck::IsDevicePresent(std::uint16_t vendor_id, std::uint16_t product_id) {
  const std::uint64_t now = clock_();
  const bool reusable = searched_ && vendor_id == vendor_id_ && product_id == product_id_ &&
                        now - searched_at_ < kFullSearchPeriodMs;
  if (changes_) {
    // Read before listing: a change told while the list is made is listed again next time.
    const std::uint64_t changes = changes_();
    if (reusable && !listing_failed_ && changes == changes_listed_) return answer_;
    changes_listed_ = changes;
  }
  const bool listed = ListInterfacePaths(listed_paths_);
  ++listings_;
  listing_failed_ = !listed;
  if (reusable && listed_paths_ == searched_paths_) return answer_;
  answer_ = listed && OpenFirstMatch(listed_paths_, vendor_id, product_id, SearchFor::kPresence,
                                     DeviceIo::kSynchronous) != nullptr;
  searched_paths_.swap(listed_paths_);
  searched_ = true;
  vendor_id_ = vendor_id;
  product_id_ = product_id;
  searched_at_ = now;
  ++full_searches_;
  return answer_;
}

DeviceHandle OpenDevice(std::uint16_t vendor_id, std::uint16_t product_id, DeviceIo io) {
  return AdoptDeviceHandle(Search(vendor_id, product_id, SearchFor::kHandle, io));
}

void CloseDevice(DeviceHandle& handle) {
  handle.reset();
}

int WriteReport(const DeviceHandle& handle, const void* buffer, int length) {
  if (!handle || !buffer || length <= 0) return 0;
  DWORD written = 0;
  WriteFile(handle.get(), buffer, static_cast<DWORD>(length), &written, nullptr);
  return static_cast<int>(written);
}

int ReadReport(const DeviceHandle& handle, void* buffer, int length) {
  if (!handle || !buffer || length <= 0) return 0;
  DWORD read = 0;
  ReadFile(handle.get(), buffer, static_cast<DWORD>(length), &read, nullptr);
  return static_cast<int>(read);
}

}  // namespace qx
