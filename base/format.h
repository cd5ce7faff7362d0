#pragma once
// Number <-> text and number <-> 80-bit extended conversions shared by the files and grids.
// All of it is locale-independent: '.' is the decimal point whatever the user's locale.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelk {

// Fixed-point text of x with at least n significant digits and never an exponent:
// |x| >= 1 shows all integer digits and max(0, n - k) decimals (k integer digits);
// |x| < 1 shows "0" and n - 1 decimals. Rounded to the last decimal shown.
// Non-finite values give "NAN", "INF" or "-INF".
std::string FormatSignificant(double x, int n);

// The general format: `precision` significant digits without trailing zeros, fixed-point
// for 1e-5 <= |x| < 10^precision, otherwise like "1.5E-7"; 0 gives "0".
std::string FormatGeneral(double x, int precision);

// The x87 80-bit extended layout: 64-bit significand with explicit integer bit, then a
// 15-bit exponent (bias 16383) and the sign in the top bit; little-endian.
using Extended80 = std::array<std::uint8_t, 10>;

// Exact for every double (subnormals become normal extended values).
Extended80 DoubleToExtended(double value);
// Rounds to nearest, ties to even; values beyond double's range become +-infinity or +-0.
// Invalid encodings (unnormals, pseudo-denormals) are read by their numeric value.
double ExtendedToDouble(const Extended80& bytes);

// A number as a user types it: optional sign, digits with '.', optional exponent.
// Surrounding blanks are allowed; an empty text is not a number.
std::optional<double> ParseNumber(std::string_view text);

// A 32-bit integer: optional sign and decimal digits only.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// Text with every %d / %s replaced in order; no other conversions are interpreted.
std::string FillPlaceholders(std::string_view pattern, std::initializer_list<std::string> values);

}  // namespace zelk
