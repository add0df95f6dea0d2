#pragma once
// The program keeps every text as Windows-1251 bytes; the platform is spoken to in UTF-16. These
// two conversions are that edge, independent of the system's ANSI code page, for the window layer
// and for the settings file's names alike. Windows builds only.

#include <string>
#include <string_view>

namespace qx {

std::wstring WidenText(std::string_view cp1251);
// Characters with no Windows-1251 form become '?'.
std::string NarrowText(std::wstring_view utf16);

}  // namespace qx
