#pragma once
// The password on its way from the console companion to the program. It travels in the request
// line as a word of its own, "x" and two lower-case hex digits per UTF-8 byte ("x" alone: no
// password), so it holds no space the line would split at, and a parser that quotes a word it
// refuses shows hex digits, not the password.

#include <optional>
#include <string>
#include <string_view>

namespace qx {

[[nodiscard]] std::string EncodePasswordWord(std::string_view password_utf8);
// The password; nothing for a word that is not one: no "x" first, an odd count or a character
// that is not a lower-case hex digit, or bytes that are not UTF-8 text.
[[nodiscard]] std::optional<std::string> DecodePasswordWord(std::string_view word);

}  // namespace qx
