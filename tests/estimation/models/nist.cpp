// Published nonlinear regression benchmarks as algebraic model libraries with the compiled
// models' two entry points, one per build (NIST_MODEL), so that fits can be tested without
// Free Pascal. p[1..] are b1.., x[1] the predictor (x[2] the second one of model 14), y[1]
// the response.
#include <cmath>
#include <numbers>

namespace {

double Response(const double* b, const double* xs) {
  [[maybe_unused]] const double x = xs[1];
#if NIST_MODEL == 1  // Misra1a, BoxBOD
  return b[1] * (1 - std::exp(-b[2] * x));
#elif NIST_MODEL == 2  // DanWood
  return b[1] * std::pow(x, b[2]);
#elif NIST_MODEL == 3  // Rat42
  return b[1] / (1 + std::exp(b[2] - b[3] * x));
#elif NIST_MODEL == 4  // MGH09
  return b[1] * (x * x + x * b[2]) / (x * x + x * b[3] + b[4]);
#elif NIST_MODEL == 5  // y = a exp(-k x); a negative rate constant is a fault of the model
  if (b[2] < 0) __builtin_trap();
  return b[1] * std::exp(-b[2] * x);
#elif NIST_MODEL == 6  // Misra1b: b1 (1 - (1 + b2 x/2)^-2), without the cancellation of 1 - ...
  const double u = b[2] * x / 2;
  return b[1] * (u * (2 + u)) / ((1 + u) * (1 + u));
#elif NIST_MODEL == 7  // Misra1c: b1 (1 - (1 + 2 b2 x)^-1/2), without the cancellation
  const double v = 2 * b[2] * x, r = std::sqrt(1 + v);
  return b[1] * v / (r * (1 + r));
#elif NIST_MODEL == 8  // Misra1d
  return b[1] * b[2] * x / (1 + b[2] * x);
#elif NIST_MODEL == 9  // Chwirut1, Chwirut2
  return std::exp(-b[1] * x) / (b[2] + b[3] * x);
#elif NIST_MODEL == 10  // Lanczos1, Lanczos2, Lanczos3
  return b[1] * std::exp(-b[2] * x) + b[3] * std::exp(-b[4] * x) + b[5] * std::exp(-b[6] * x);
#elif NIST_MODEL == 11  // Gauss1, Gauss2, Gauss3
  const double d1 = (x - b[4]) / b[5], d2 = (x - b[7]) / b[8];
  return b[1] * std::exp(-b[2] * x) + b[3] * std::exp(-d1 * d1) + b[6] * std::exp(-d2 * d2);
#elif NIST_MODEL == 12  // Kirby2
  return (b[1] + x * (b[2] + x * b[3])) / (1 + x * (b[4] + x * b[5]));
#elif NIST_MODEL == 13  // Hahn1, Thurber
  return (b[1] + x * (b[2] + x * (b[3] + x * b[4]))) / (1 + x * (b[5] + x * (b[6] + x * b[7])));
#elif NIST_MODEL == 14  // Nelson: log(y) from time x1 and temperature x2
  return b[1] - b[2] * xs[1] * std::exp(-b[3] * xs[2]);
#elif NIST_MODEL == 15  // MGH17
  return b[1] + b[2] * std::exp(-x * b[4]) + b[3] * std::exp(-x * b[5]);
#elif NIST_MODEL == 16  // Roszman1, arctan in radians
  return b[1] - b[2] * x - std::atan(b[3] / (x - b[4])) / std::numbers::pi;
#elif NIST_MODEL == 17  // ENSO: a yearly cycle and two more of fitted periods b4, b7
  const double w = 2 * std::numbers::pi * x;
  return b[1] + b[2] * std::cos(w / 12) + b[3] * std::sin(w / 12) + b[5] * std::cos(w / b[4]) +
         b[6] * std::sin(w / b[4]) + b[8] * std::cos(w / b[7]) + b[9] * std::sin(w / b[7]);
#elif NIST_MODEL == 18  // MGH10
  return b[1] * std::exp(b[2] / (x + b[3]));
#elif NIST_MODEL == 19  // Eckerle4
  const double d = (x - b[3]) / b[2];
  return (b[1] / b[2]) * std::exp(-0.5 * d * d);
#elif NIST_MODEL == 20  // Rat43
  return b[1] / std::pow(1 + std::exp(b[2] - b[3] * x), 1 / b[4]);
#elif NIST_MODEL == 21  // Bennett5
  return b[1] * std::pow(b[2] + x, -1 / b[3]);
#endif
}

}  // namespace

extern "C" void DynamicEquations(double** p, double** x, double** y, double**) {
  (*y)[1] = Response(*p, *x);
}

extern "C" void InitialEquations(double**, double**, double**, double**, double**) {}
