// Stand-in hid.dll: the two HID class calls the program makes. A simulated device's pipe name ends
// in "#vid_XXXX&pid_XXXX&rev_XXXX", so the attributes are read from the handle's own name.
//
// The program asks for the attributes once for every interface it has opened, so the count of
// those queries (QxStandInAttributeQueries, for tests and the benchmark in the same process) is
// the number of interfaces it opened, known the moment the search returns.

#include <windows.h>
// The header declares the calls without C linkage.
extern "C" {
#include <hidsdi.h>
}

#include "tools/vswitch/vswitch_table.h"

namespace {

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Finds `key` (e.g. L"vid_") in `name` and reads the four hex digits after it.
bool ReadField(const wchar_t* name, int length, const wchar_t* key, USHORT* value) {
  int key_length = 0;
  while (key[key_length]) ++key_length;
  for (int i = 0; i + key_length + 4 <= length; ++i) {
    bool match = true;
    for (int k = 0; k < key_length && match; ++k) match = name[i + k] == key[k];
    if (!match) continue;
    unsigned v = 0;
    for (int d = 0; d < 4; ++d) {
      const int digit = HexDigit(name[i + key_length + d]);
      if (digit < 0) return false;
      v = v * 16 + static_cast<unsigned>(digit);
    }
    *value = static_cast<USHORT>(v);
    return true;
  }
  return false;
}

volatile LONG g_attribute_queries = 0;

}  // namespace

extern "C" {

LONG WINAPI QxStandInAttributeQueries() {
  return g_attribute_queries;
}

void WINAPI HidD_GetHidGuid(LPGUID guid) {
  if (guid) *guid = qx::vswitch::kHidInterfaceGuid;
}

BOOLEAN WINAPI HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) {
  InterlockedIncrement(&g_attribute_queries);
  if (!attributes) return FALSE;
  alignas(FILE_NAME_INFO) unsigned char buffer[sizeof(FILE_NAME_INFO) + 2 * MAX_PATH];
  auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer);
  if (!GetFileInformationByHandleEx(device, FileNameInfo, info, sizeof buffer)) return FALSE;
  const int length = static_cast<int>(info->FileNameLength / sizeof(wchar_t));
  USHORT vendor = 0, product = 0, release = 0;
  if (!ReadField(info->FileName, length, L"#vid_", &vendor) || !ReadField(info->FileName, length, L"&pid_", &product) ||
      !ReadField(info->FileName, length, L"&rev_", &release)) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  attributes->VendorID = vendor;
  attributes->ProductID = product;
  attributes->VersionNumber = release;
  return TRUE;
}

}  // extern "C"
