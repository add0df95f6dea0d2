#include "runtime/text.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace qx {

namespace {

std::string UnsignedDigits(std::uint64_t magnitude) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::string text;
  text.reserve(n);
  while (n > 0) text.push_back(digits[--n]);
  return text;
}

// The exact decimal expansion of a finite, non-negative double: every binary fraction has a
// finite decimal one, so printing it needs no rounding at all. Returns the integer digits and the
// fraction digits separately (the fraction without trailing zeros).
struct DecimalExpansion {
  std::string integer_digits;
  std::string fraction_digits;
};

// Little-endian base-10 digit vector helpers.
void MultiplyDigits(std::vector<std::uint8_t>& digits, unsigned factor) {
  unsigned carry = 0;
  for (auto& d : digits) {
    unsigned v = d * factor + carry;
    d = static_cast<std::uint8_t>(v % 10);
    carry = v / 10;
  }
  while (carry != 0) {
    digits.push_back(static_cast<std::uint8_t>(carry % 10));
    carry /= 10;
  }
}

DecimalExpansion ExpandExactly(double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const int biased_exponent = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent;
  if (biased_exponent == 0) {
    exponent = -1074;  // subnormal
  } else {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biased_exponent - 1075;
  }
  DecimalExpansion out;
  if (mantissa == 0) {
    out.integer_digits = "0";
    return out;
  }
  // value = mantissa * 2^exponent. For a negative exponent k = -exponent this is
  // mantissa * 5^k / 10^k: the digits of mantissa * 5^k with the point k places from the right.
  std::vector<std::uint8_t> digits;
  for (std::uint64_t m = mantissa; m != 0; m /= 10) digits.push_back(static_cast<std::uint8_t>(m % 10));
  int point = 0;  // number of fraction digits at the low end of `digits`
  if (exponent >= 0) {
    for (int i = 0; i < exponent; ++i) MultiplyDigits(digits, 2);
  } else {
    for (int i = 0; i < -exponent; ++i) MultiplyDigits(digits, 5);
    point = -exponent;
  }
  while (static_cast<int>(digits.size()) <= point) digits.push_back(0);
  for (int i = static_cast<int>(digits.size()) - 1; i >= point; --i) out.integer_digits.push_back(static_cast<char>('0' + digits[i]));
  for (int i = point - 1; i >= 0; --i) out.fraction_digits.push_back(static_cast<char>('0' + digits[i]));
  while (!out.fraction_digits.empty() && out.fraction_digits.back() == '0') out.fraction_digits.pop_back();
  const auto first_nonzero = out.integer_digits.find_first_not_of('0');
  out.integer_digits = first_nonzero == std::string::npos ? "0" : out.integer_digits.substr(first_nonzero);
  return out;
}

}  // namespace

std::string DecimalText(std::int64_t value) {
  if (value >= 0) return UnsignedDigits(static_cast<std::uint64_t>(value));
  // Built in place rather than with "-" + digits, which GCC 12 at -O3 wrongly reports as an
  // overlapping copy (-Wrestrict).
  std::string text = UnsignedDigits(std::uint64_t{0} - static_cast<std::uint64_t>(value));
  text.insert(text.begin(), '-');
  return text;
}

std::string TwoDigits(int value) {
  std::string digits = DecimalText(value);
  if (value >= 0 && value < 10) digits.insert(digits.begin(), '0');
  return digits;
}

std::string FixedDecimalText(float value, int decimals) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  if (bits == 0x7F800000u) return "+Infinity";
  if (bits == 0xFF800000u) return "-Infinity";
  if (value != value) return "NaN";
  if (decimals == -1) decimals = 6;
  decimals = std::clamp(decimals, 0, 512);

  const bool negative = std::signbit(value);
  DecimalExpansion exact = ExpandExactly(std::fabs(static_cast<double>(value)));

  // Keep `decimals` fraction digits; the first dropped digit decides, 5 and up rounds away from
  // zero. Rounding works on integer and fraction digits as one string so a carry can ripple
  // through the point ("9.96" -> "10.0").
  std::string kept = exact.fraction_digits.substr(0, std::min<std::size_t>(decimals, exact.fraction_digits.size()));
  kept.append(static_cast<std::size_t>(decimals) - kept.size(), '0');
  const bool round_up = static_cast<std::size_t>(decimals) < exact.fraction_digits.size() &&
                        exact.fraction_digits[decimals] >= '5';
  std::string digits = exact.integer_digits + kept;
  if (round_up) {
    int i = static_cast<int>(digits.size()) - 1;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i >= 0) {
      ++digits[i];
    } else {
      digits.insert(digits.begin(), '1');
    }
  }
  std::string text = negative ? "-" : "";
  text.append(digits, 0, digits.size() - decimals);
  if (decimals > 0) {
    text.push_back('.');
    text.append(digits, digits.size() - decimals, std::string::npos);
  }
  return text;
}

std::string Substring(std::string_view text, int start, int count) {
  if (count <= 0) return {};
  const std::size_t from = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (from >= text.size()) return {};
  return std::string(text.substr(from, static_cast<std::size_t>(count)));
}

int TextLength(std::string_view text) { return static_cast<int>(text.size()); }

bool TextEquals(std::string_view a, std::string_view b) { return a == b; }

std::string ReadFixedField(std::span<const char> field) {
  const auto end = std::find(field.begin(), field.end(), '\0');
  return std::string(field.begin(), end);
}

void StoreFixedField(std::span<char> field, std::string_view text) {
  const std::size_t n = std::min(field.size(), text.size());
  std::memcpy(field.data(), text.data(), n);
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(n), field.end(), '\0');
}

}  // namespace qx
