#include "mqtt/password_word.h"

#include "control/request.h"

namespace qx {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string EncodePasswordWord(std::string_view password_utf8) {
  std::string word = "x";
  for (char c : password_utf8) {
    const auto byte = static_cast<unsigned char>(c);
    word += kHexDigits[byte >> 4];
    word += kHexDigits[byte & 0xF];
  }
  return word;
}

std::optional<std::string> DecodePasswordWord(std::string_view word) {
  if (word.empty() || word.front() != 'x' || word.size() % 2 != 1) return std::nullopt;
  std::string password;
  for (std::size_t i = 1; i < word.size(); i += 2) {
    const int high = HexValue(word[i]);
    const int low = HexValue(word[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    password += static_cast<char>(high * 16 + low);
  }
  if (!IsValidUtf8(password)) return std::nullopt;
  return password;
}

}  // namespace qx
