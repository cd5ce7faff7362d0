#include "base/format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace zelk {
namespace {

TEST(FormatSignificant, WritesFixedPointWithAtLeastNDigits) {
  struct Case {
    double x;
    int n;
    const char* text;
  } cases[] = {
      {123.456, 6, "123.456"},
      {5, 6, "5.00000"},
      {0.5, 6, "0.50000"},
      {0, 6, "0.00000"},
      {1234567, 6, "1234567"},
      {-2.5, 6, "-2.50000"},
      {1000, 6, "1000.00"},
      {999999.7, 6, "1000000"},
      {9.999996, 6, "10.00000"},
      {0.000123, 6, "0.00012"},
      {-0.0, 6, "0.00000"},
      {-0.000001, 6, "0.00000"},
      {1e20, 6, "100000000000000000000"},
      {3.14159265358979, 8, "3.1415927"},
      {0.1, 8, "0.1000000"},
      {12345678.9, 8, "12345679"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSignificant(c.x, c.n), c.text) << c.x;
}

TEST(FormatSignificant, NamesNonFiniteValues) {
  EXPECT_EQ(FormatSignificant(std::numeric_limits<double>::infinity(), 6), "INF");
  EXPECT_EQ(FormatSignificant(-std::numeric_limits<double>::infinity(), 6), "-INF");
  EXPECT_EQ(FormatSignificant(std::nan(""), 6), "NAN");
}

TEST(Extended80, EncodesKnownValuesInTheX87Layout) {
  // 1.0: significand 0x8000000000000000, exponent 0x3FFF.
  const Extended80 one{0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
  EXPECT_EQ(DoubleToExtended(1.0), one);
  const Extended80 minusTwo{0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0xC0};
  EXPECT_EQ(DoubleToExtended(-2.0), minusTwo);
  const Extended80 negativeZero{0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80};
  EXPECT_EQ(DoubleToExtended(-0.0), negativeZero);
}

// On x86-64 long double is the x87 format: the hardware is an independent reference.
long double AsLongDouble(const Extended80& e) {
  long double v = 0;
  std::memcpy(&v, e.data(), e.size());
  return v;
}

TEST(Extended80, RoundTripsEveryKindOfDoubleExactly) {
  const double values[] = {
      0.0,
      -0.0,
      1.0,
      -1.0 / 3.0,
      std::numeric_limits<double>::max(),
      -std::numeric_limits<double>::max(),
      std::numeric_limits<double>::min(),
      std::numeric_limits<double>::denorm_min(),
      -std::numeric_limits<double>::denorm_min(),
      std::bit_cast<double>(std::uint64_t{0x000FFFFFFFFFFFFF}),  // largest subnormal
      std::numeric_limits<double>::infinity(),
      -std::numeric_limits<double>::infinity(),
      std::numeric_limits<double>::epsilon()};
  for (double v : values) {
    const Extended80 e = DoubleToExtended(v);
    const double back = ExtendedToDouble(e);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(v)) << v;
    if constexpr (std::numeric_limits<long double>::digits == 64) {
      EXPECT_EQ(AsLongDouble(e), static_cast<long double>(v)) << v;
    }
  }
  EXPECT_TRUE(std::isnan(ExtendedToDouble(DoubleToExtended(std::nan("")))));

  std::mt19937_64 random(7);
  for (int i = 0; i < 200000; ++i) {
    const double v = std::bit_cast<double>(random());
    if (std::isnan(v)) continue;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(ExtendedToDouble(DoubleToExtended(v))),
              std::bit_cast<std::uint64_t>(v));
  }
}

TEST(Extended80, RoundsWiderValuesToNearestLikeTheHardware) {
  if constexpr (std::numeric_limits<long double>::digits != 64) GTEST_SKIP();
  std::mt19937_64 random(11);
  for (int i = 0; i < 200000; ++i) {
    Extended80 e;
    const std::uint64_t significand = random() | (std::uint64_t{1} << 63);
    // Exponents around the whole double range, its overflow and its subnormal end.
    const unsigned exponent = 16383 - 1100 + static_cast<unsigned>(random() % 2200);
    const unsigned top = exponent | ((random() & 1) ? 0x8000u : 0u);
    for (int b = 0; b < 8; ++b) e[b] = static_cast<std::uint8_t>(significand >> (8 * b));
    e[8] = static_cast<std::uint8_t>(top);
    e[9] = static_cast<std::uint8_t>(top >> 8);
    const double expected = static_cast<double>(AsLongDouble(e));
    ASSERT_EQ(std::bit_cast<std::uint64_t>(ExtendedToDouble(e)),
              std::bit_cast<std::uint64_t>(expected))
        << "exponent " << exponent << " significand " << significand;
  }
}

TEST(ParseNumber, AcceptsWhatAUserTypesAsANumber) {
  struct Case {
    const char* text;
    std::optional<double> value;
  } cases[] = {{"1e3", 1000.0}, {"-2.5", -2.5}, {"+4", 4.0}, {" 7 ", 7.0}, {".5", 0.5},
               {"1e-400", 0.0}, {"", {}},       {"abc", {}}, {"1,5", {}},  {"inf", {}},
               {"nan", {}},     {"1e999", {}},  {"--1", {}}, {"+-1", {}},  {"1.2.3", {}}};
  for (const auto& c : cases) EXPECT_EQ(ParseNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(ParseInteger, AcceptsSignedDecimalIntegersOnly) {
  struct Case {
    const char* text;
    std::optional<int> value;
  } cases[] = {{"25", 25}, {"-3", -3},          {"+7", 7},   {"0", 0},
               {"", {}},   {"1.5", {}},         {"abc", {}}, {" 5", {}},
               {"5x", {}}, {"99999999999", {}}, {"+", {}}};
  for (const auto& c : cases) EXPECT_EQ(ParseInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(FillPlaceholders, FillsInOrderAndLeavesOtherPercentSignsAlone) {
  EXPECT_EQ(FillPlaceholders("Value must be an integer between %d and %d!", {"1", "20"}),
            "Value must be an integer between 1 and 20!");
  EXPECT_EQ(FillPlaceholders("%s files are not supported!", {".TXT"}),
            ".TXT files are not supported!");
  EXPECT_EQ(FillPlaceholders("100% %d", {"5"}), "100% 5");
}

}  // namespace
}  // namespace zelk
