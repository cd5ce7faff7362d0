#include "estimation/scales.h"

#include <cctype>
#include <cmath>
#include <numbers>

#include "base/format.h"

namespace zelk {

double ToScaled(TScale scale, double natural) {
  switch (scale) {
    case TScale::Ln: return std::log(natural);
    case TScale::Log10: return std::log10(natural);
    case TScale::Linear: break;
  }
  return natural;
}

double ToNatural(TScale scale, double scaled) {
  switch (scale) {
    case TScale::Ln: return std::exp(scaled);
    case TScale::Log10: return std::pow(10.0, scaled);
    case TScale::Linear: break;
  }
  return scaled;
}

double NaturalSlope(TScale scale, double natural) {
  switch (scale) {
    case TScale::Ln: return natural;
    case TScale::Log10: return natural * std::numbers::ln10;
    case TScale::Linear: break;
  }
  return 1.0;
}

TScale EffectiveScale(const TParameterRecord& record, int i) {
  const TScale scale = i <= record.Scale.Last() ? record.Scale[i] : TScale::Linear;
  if (scale == TScale::Linear || !(record.Value[i] > 0) || !(record.MinBound[i] > 0))
    return TScale::Linear;
  return scale;
}

void ScaleColumns(JacobianColumns& columns, const TParameterRecord& record, const T20Vector& at) {
  columns.Slopes.clear();
  bool any = false;
  for (int k : columns.Params) {
    const TScale scale = EffectiveScale(record, k);
    any = any || scale != TScale::Linear;
    columns.Slopes.push_back(NaturalSlope(scale, at[k]));
  }
  if (!any) columns.Slopes.clear();
}

T20Vector ScaledPoint(const TParameterRecord& record, const T20Vector& natural) {
  T20Vector u = natural;
  for (int i = 1; i <= record.Count; ++i) u[i] = ToScaled(EffectiveScale(record, i), natural[i]);
  return u;
}

T20Vector NaturalPoint(const TParameterRecord& record, const T20Vector& scaled) {
  T20Vector p = scaled;
  for (int i = 1; i <= record.Count; ++i) p[i] = ToNatural(EffectiveScale(record, i), scaled[i]);
  return p;
}

const char* ScaleName(TScale scale) {
  switch (scale) {
    case TScale::Ln: return "ln";
    case TScale::Log10: return "log10";
    case TScale::Linear: break;
  }
  return "linear";
}

std::optional<TScale> ScaleFromName(const std::string& name) {
  std::string lower;
  for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "linear" || lower == "lin") return TScale::Linear;
  if (lower == "ln" || lower == "log") return TScale::Ln;
  if (lower == "log10") return TScale::Log10;
  return std::nullopt;
}

double StdErrorFactor(TScale scale, double stdError) {
  return scale == TScale::Linear ? stdError : ToNatural(scale, stdError);
}

std::string StdErrorText(TScale scale, double stdError, int digits) {
  const double shown = StdErrorFactor(scale, stdError);
  // A parameter the data do not determine has a factor of hundreds of digits: exponent form.
  const std::string number = std::fabs(shown) >= 1e9 ? FormatGeneral(shown, digits)
                                                     : FormatSignificant(shown, digits);
  return scale == TScale::Linear ? number : "x/\xC3\xB7 " + number;
}

}  // namespace zelk
