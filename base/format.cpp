#include "base/format.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace zelk {

std::string FormatSignificant(double x, int n) {
  if (std::isnan(x)) return "NAN";
  if (std::isinf(x)) return x > 0 ? "INF" : "-INF";
  if (n < 1) n = 1;
  int decimals = n - 1;
  const double magnitude = std::fabs(x);
  if (magnitude >= 1.0) {
    // Count integer digits from the exact integer part; log10 misjudges values near 10^k.
    char digits[400];
    auto res = std::to_chars(digits, digits + sizeof digits, std::floor(magnitude),
                             std::chars_format::fixed, 0);
    const int k = static_cast<int>(res.ptr - digits);
    decimals = k >= n ? 0 : n - k;
  }
  char buffer[420];
  auto res = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, decimals);
  std::string text(buffer, res.ptr);
  // A value that rounds to zero carries no sign.
  if (!text.empty() && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
    text.erase(0, 1);
  return text;
}

std::string FormatGeneral(double x, int precision) {
  if (precision < 1) precision = 1;
  if (std::isnan(x)) return "NAN";
  if (std::isinf(x)) return x > 0 ? "INF" : "-INF";
  if (x == 0) return "0";
  // d.ddd...e[+-]xx: the significant digits and the decimal exponent.
  char buffer[40];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(x),
                                    std::chars_format::scientific, precision - 1);
  const std::string_view sci(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = sci.find('e');
  std::string digits = std::string(1, sci[0]) + std::string(sci.substr(2, e - 2));
  int exponent = 0;
  std::string_view expText = sci.substr(e + 1);
  const bool negativeExponent = expText.front() == '-';
  expText.remove_prefix(1);
  std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
  if (negativeExponent) exponent = -exponent;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = x < 0 ? "-" : "";
  if (exponent >= -5 && exponent < precision) {
    if (exponent < 0) {
      out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else {
      const auto intDigits = static_cast<std::size_t>(exponent + 1);
      if (digits.size() <= intDigits) {
        out += digits + std::string(intDigits - digits.size(), '0');
      } else {
        out += digits.substr(0, intDigits) + "." + digits.substr(intDigits);
      }
    }
  } else {
    out += digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += "E" + std::to_string(exponent);
  }
  return out;
}

namespace {

constexpr int kExtendedBias = 16383;
constexpr int kDoubleBias = 1023;

// m / 2^shift rounded to nearest, ties to even.
std::uint64_t RoundShiftRight(std::uint64_t m, int shift) {
  if (shift <= 0) return m;
  if (shift > 64) return 0;
  if (shift == 64) return m > (std::uint64_t{1} << 63) ? 1 : 0;
  const std::uint64_t kept = m >> shift;
  const std::uint64_t rest = m & ((std::uint64_t{1} << shift) - 1);
  const std::uint64_t half = std::uint64_t{1} << (shift - 1);
  if (rest > half || (rest == half && (kept & 1))) return kept + 1;
  return kept;
}

}  // namespace

Extended80 DoubleToExtended(double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const bool negative = bits >> 63;
  const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  std::uint64_t significand = 0;
  int biased = 0;
  if (exponent == 0x7FF) {
    biased = 0x7FFF;
    significand = (std::uint64_t{1} << 63) | (fraction << 11);
  } else if (exponent != 0) {
    biased = exponent - kDoubleBias + kExtendedBias;
    significand = (std::uint64_t{1} << 63) | (fraction << 11);
  } else if (fraction != 0) {
    significand = fraction << 11;
    const int shift = std::countl_zero(significand);
    significand <<= shift;
    biased = 1 - kDoubleBias + kExtendedBias - shift;
  }
  Extended80 out{};
  for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(significand >> (8 * i));
  const unsigned top = static_cast<unsigned>(biased) | (negative ? 0x8000u : 0u);
  out[8] = static_cast<std::uint8_t>(top & 0xFF);
  out[9] = static_cast<std::uint8_t>(top >> 8);
  return out;
}

double ExtendedToDouble(const Extended80& bytes) {
  std::uint64_t significand = 0;
  for (int i = 0; i < 8; ++i) significand |= std::uint64_t{bytes[i]} << (8 * i);
  const unsigned top = bytes[8] | (unsigned{bytes[9]} << 8);
  const bool negative = top & 0x8000u;
  const int biased = static_cast<int>(top & 0x7FFF);
  const std::uint64_t sign = negative ? std::uint64_t{1} << 63 : 0;

  if (biased == 0x7FFF) {
    const std::uint64_t payload = significand & ~(std::uint64_t{1} << 63);
    if (payload == 0) return std::bit_cast<double>(sign | (std::uint64_t{0x7FF} << 52));
    std::uint64_t fraction = (payload >> 11) | (std::uint64_t{1} << 51);  // keep it quiet
    return std::bit_cast<double>(sign | (std::uint64_t{0x7FF} << 52) | fraction);
  }
  if (significand == 0) return std::bit_cast<double>(sign);

  const int lead = std::countl_zero(significand);
  significand <<= lead;
  // Unbiased exponent of the leading one; a zero exponent field means 2^(1 - bias).
  const int exp2 = (biased == 0 ? 1 : biased) - kExtendedBias - lead;
  if (exp2 > kDoubleBias) return std::bit_cast<double>(sign | (std::uint64_t{0x7FF} << 52));

  if (exp2 >= 1 - kDoubleBias) {
    std::uint64_t q = RoundShiftRight(significand, 11);
    int e = exp2;
    if (q == (std::uint64_t{1} << 53)) {
      q >>= 1;
      ++e;
    }
    if (e > kDoubleBias) return std::bit_cast<double>(sign | (std::uint64_t{0x7FF} << 52));
    const std::uint64_t field = static_cast<std::uint64_t>(e + kDoubleBias);
    return std::bit_cast<double>(sign | (field << 52) | (q & ((std::uint64_t{1} << 52) - 1)));
  }
  // Subnormal result; a carry into bit 52 yields the smallest normal by itself.
  const int shift = 11 + (1 - kDoubleBias - exp2);
  return std::bit_cast<double>(sign | RoundShiftRight(significand, shift));
}

namespace {

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text[0] == '+') {
    text.remove_prefix(1);
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  // from_chars would also take "inf" and "nan"; a typed number is digits only.
  for (char c : text)
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
          c == 'e' || c == 'E'))
      return std::nullopt;
  double value = 0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  if (res.ec == std::errc::result_out_of_range) {
    // Beyond the smallest subnormal reads as zero; beyond the largest double is no number.
    const auto e = text.find_first_of("eE");
    if (e != std::string_view::npos && e + 1 < text.size() && text[e + 1] == '-')
      return text[0] == '-' ? -0.0 : 0.0;
    return std::nullopt;
  }
  if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::int32_t> ParseInteger(std::string_view text) {
  if (!text.empty() && text[0] == '+') {
    text.remove_prefix(1);
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  std::int32_t value = 0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string FillPlaceholders(std::string_view pattern, std::initializer_list<std::string> values) {
  std::string out;
  auto next = values.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() &&
        (pattern[i + 1] == 'd' || pattern[i + 1] == 's') && next != values.end()) {
      out += *next++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

}  // namespace zelk
