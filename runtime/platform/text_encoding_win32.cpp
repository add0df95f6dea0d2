#include "runtime/platform/text_encoding.h"

#include <windows.h>

namespace qx {

namespace {
constexpr UINT kProgramCodePage = 1251;
}

std::wstring WidenText(std::string_view cp1251) {
  if (cp1251.empty()) return {};
  const int size = static_cast<int>(cp1251.size());
  const int count = MultiByteToWideChar(kProgramCodePage, 0, cp1251.data(), size, nullptr, 0);
  if (count <= 0) return {};
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(kProgramCodePage, 0, cp1251.data(), size, wide.data(), count);
  return wide;
}

std::string NarrowText(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int size = static_cast<int>(utf16.size());
  const int count = WideCharToMultiByte(kProgramCodePage, 0, utf16.data(), size, nullptr, 0, "?", nullptr);
  if (count <= 0) return {};
  std::string narrow(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(kProgramCodePage, 0, utf16.data(), size, narrow.data(), count, "?", nullptr);
  return narrow;
}

}  // namespace qx
