#pragma once
// Texts are byte strings in Windows-1251, one byte per character; nothing here knows or cares
// about the code page, so every operation works on bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qx {

// Decimal digits, a leading "-" for negative values, no leading zeros.
[[nodiscard]] std::string DecimalText(std::int64_t value);

// A clock or calendar field (0..99) as two digits: 7 -> "07", 12 -> "12".
[[nodiscard]] std::string TwoDigits(int value);

// The value with exactly `decimals` digits after the point (none and no point for 0; -1 means 6),
// rounded by its exact decimal expansion: an exact half goes away from zero (21.25 -> "21.3"),
// and a negative value keeps its "-" even when every digit shown is zero (-0.04 -> "-0.0").
// Infinities give "+Infinity" / "-Infinity", NaN gives "NaN".
[[nodiscard]] std::string FixedDecimalText(float value, int decimals);

// At most `count` characters from the 1-based position `start` (start <= 1 means the first
// character; a start past the end or a negative count gives the empty text).
[[nodiscard]] std::string Substring(std::string_view text, int start, int count);

[[nodiscard]] int TextLength(std::string_view text);

// Same bytes and same length; letter case matters.
[[nodiscard]] bool TextEquals(std::string_view a, std::string_view b);

template <typename... Parts>
[[nodiscard]] std::string Concatenate(const Parts&... parts) {
  std::string result;
  (result.append(std::string_view(parts)), ...);
  return result;
}

// A fixed text field holds at most N characters and is zero-filled after a shorter text; a field
// filled to N characters has no terminating zero, and reading stops at N.
[[nodiscard]] std::string ReadFixedField(std::span<const char> field);
void StoreFixedField(std::span<char> field, std::string_view text);

template <std::size_t N>
class FixedText {
 public:
  FixedText() { bytes_.fill('\0'); }
  explicit FixedText(std::string_view text) { Store(text); }
  void Store(std::string_view text) { StoreFixedField(bytes_, text); }
  [[nodiscard]] std::string Read() const { return ReadFixedField(bytes_); }
  static constexpr std::size_t kCapacity = N;

 private:
  std::array<char, N> bytes_;
};

}  // namespace qx
