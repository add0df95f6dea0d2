#include "runtime/text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>

namespace qx {
namespace {

TEST(DecimalText, SignsAndLimits) {
  EXPECT_EQ(DecimalText(0), "0");
  EXPECT_EQ(DecimalText(-5), "-5");
  EXPECT_EQ(DecimalText(23), "23");
  EXPECT_EQ(DecimalText(2147483647), "2147483647");
  EXPECT_EQ(DecimalText(-2147483648LL), "-2147483648");
  EXPECT_EQ(DecimalText(4294967296LL), "4294967296");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int64_t>::max()), "9223372036854775807");
}

struct FixedCase {
  float value;
  int decimals;
  const char* text;
};

TEST(FixedDecimalText, RoundsExactHalvesAwayFromZero) {
  const FixedCase cases[] = {
      {21.5f, 1, "21.5"},     {21.25f, 1, "21.3"},    {21.75f, 1, "21.8"},   {20.0f, 1, "20.0"},
      {-3.0625f, 1, "-3.1"},  {-0.25f, 1, "-0.3"},    {-0.04f, 1, "-0.0"},   {0.0f, 1, "0.0"},
      {-55.0f, 1, "-55.0"},   {149.9375f, 1, "149.9"}, {9.96f, 1, "10.0"},   {-9.96f, 1, "-10.0"},
      {0.5f, 0, "1"},         {-0.5f, 0, "-1"},        {2.5f, 0, "3"},       {1.0f, -1, "1.000000"},
      {0.1f, 1, "0.1"},       {0.15f, 1, "0.2"},  // 0.15f is 0.15000000596...
      {0.35f, 1, "0.3"},  // 0.35f is 0.34999999403...: the first dropped digit is 4
      {0.125f, 2, "0.13"},    {1.0f, 3, "1.000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FixedDecimalText(c.value, c.decimals), c.text) << c.value << " with " << c.decimals;
  }
}

TEST(FixedDecimalText, SpecialValuesAndWideFormats) {
  EXPECT_EQ(FixedDecimalText(std::numeric_limits<float>::infinity(), 1), "+Infinity");
  EXPECT_EQ(FixedDecimalText(-std::numeric_limits<float>::infinity(), 1), "-Infinity");
  EXPECT_EQ(FixedDecimalText(std::bit_cast<float>(0xFFFFFFFFu), 1), "NaN");
  // The largest float has 39 integer digits, all exact.
  EXPECT_EQ(FixedDecimalText(std::numeric_limits<float>::max(), 0), "340282346638528859811704183484516925440");
  // The smallest subnormal is exactly 2^-149 = 1.401...e-45, with 149 exact decimals.
  const std::string tiny = FixedDecimalText(std::numeric_limits<float>::denorm_min(), 200);
  EXPECT_EQ(tiny.substr(0, 2 + 44), "0." + std::string(44, '0'));
  EXPECT_EQ(tiny.substr(2 + 44, 4), "1401");
  EXPECT_EQ(tiny.substr(2 + 149), std::string(51, '0'));
  EXPECT_NE(tiny[2 + 148], '0');
  EXPECT_EQ(FixedDecimalText(1.0f, 600).size(), 2u + 512u);  // decimals are capped at 512
}

TEST(Substring, StartAndCountRules) {
  EXPECT_EQ(Substring("12:34:56", 1, 5), "12:34");
  EXPECT_EQ(Substring("abc", 5, 1), "");
  EXPECT_EQ(Substring("abc", 4, 1), "");
  EXPECT_EQ(Substring("abc", 3, 1), "c");
  EXPECT_EQ(Substring("abc", 0, 2), "ab");
  EXPECT_EQ(Substring("abc", -7, 2), "ab");
  EXPECT_EQ(Substring("abc", 2, 10), "bc");
  EXPECT_EQ(Substring("abc", 1, -1), "");
  EXPECT_EQ(Substring("", 1, 1), "");
}

TEST(TextOperations, LengthEqualityConcatenation) {
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength("\xD0\xE5\xEB\xE5"), 4);  // one byte per Cyrillic letter
  EXPECT_FALSE(TextEquals("Name", "name"));
  EXPECT_FALSE(TextEquals("\xC0", "\xE0"));  // Cyrillic capital and small A
  EXPECT_FALSE(TextEquals("ab", "abc"));
  EXPECT_TRUE(TextEquals("", std::string_view{}));
  EXPECT_EQ(Concatenate(std::string("a"), "b", std::string_view("cd"), ""), "abcd");
}

TEST(FixedText, CutsFillsAndReadsWithoutTerminator) {
  FixedText<19> name;
  EXPECT_EQ(name.Read(), "");
  name.Store("ABCDEFGHIJKLMNOPQRSTUVWXY");  // 25 characters
  EXPECT_EQ(name.Read(), "ABCDEFGHIJKLMNOPQRS");
  name.Store("abc");
  EXPECT_EQ(name.Read(), "abc");  // the zero fill hides the longer text stored before
  name.Store("");
  EXPECT_EQ(name.Read(), "");

  char field[8];
  StoreFixedField(field, "12345678");
  EXPECT_EQ(ReadFixedField(field), "12345678");  // full field: no terminator, reading stops at N
  StoreFixedField(field, "on");
  EXPECT_EQ(ReadFixedField(field), "on");
  EXPECT_EQ(field[7], '\0');
}

}  // namespace
}  // namespace qx
