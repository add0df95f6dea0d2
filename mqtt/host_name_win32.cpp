#include "mqtt/host_name.h"

#include <windows.h>

namespace qx {

std::string ComputerDnsHostName() {
  wchar_t name[256];
  DWORD length = sizeof name / sizeof name[0];
  if (!GetComputerNameExW(ComputerNameDnsHostname, name, &length) || length == 0) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(length), text.data(), size, nullptr, nullptr);
  return text;
}

}  // namespace qx
