#pragma once
// A parameter's scale: LM, Gauss-Newton and the statistics work on u = ln(p) or log10(p)
// instead of p, which suits rate constants spread over decades. The random and region
// searches move each value by a factor already, as steps in ln(p) would, and keep p. A
// logarithmic scale needs a positive value and lower bound; where they are not, the parameter
// is fitted as it is (Effective).

#include <optional>
#include <string>

#include "estimation/parameter_record.h"

namespace zelk {

double ToScaled(TScale scale, double natural);
double ToNatural(TScale scale, double scaled);
// dp/du at the natural value p.
double NaturalSlope(TScale scale, double natural);
// The scale the fit uses for parameter i: its own, or linear where the value or the lower
// bound is not positive.
TScale EffectiveScale(const TParameterRecord& record, int i);

// The columns' slopes dp/du at the natural point `at`: the Jacobian then is d r / d u.
void ScaleColumns(JacobianColumns& columns, const TParameterRecord& record, const T20Vector& at);
// The point u of natural values p over the parameters `params` (the others stay p).
T20Vector ScaledPoint(const TParameterRecord& record, const T20Vector& natural);
// p from u, for the parameters 1..Count.
T20Vector NaturalPoint(const TParameterRecord& record, const T20Vector& scaled);

// "linear", "ln", "log10": as the parameter file, zelkcli and the grid name them.
const char* ScaleName(TScale scale);
// Also "lin" and "log" (ln), as PEtab writes them; case ignored.
std::optional<TScale> ScaleFromName(const std::string& name);

// A standard error as the grids, the report and zelkcli show it: a plain number for a linear
// parameter, the factor "x/÷ f" (f = e^se or 10^se) for a logarithmic one.
std::string StdErrorText(TScale scale, double stdError, int digits);
// The factor of a logarithmic standard error; the error itself on a linear scale.
double StdErrorFactor(TScale scale, double stdError);

}  // namespace zelk
