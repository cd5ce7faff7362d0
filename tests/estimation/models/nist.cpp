// Published nonlinear regression benchmarks as algebraic model libraries with the compiled
// models' two entry points, one per build (NIST_MODEL), so that fits can be tested without
// Free Pascal. p[1..4] are b1..b4, x[1] the predictor, y[1] the response.
#include <cmath>

namespace {

double Response(const double* b, double x) {
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
#endif
}

}  // namespace

extern "C" void DynamicEquations(double** p, double** x, double** y, double**) {
  (*y)[1] = Response(*p, (*x)[1]);
}

extern "C" void InitialEquations(double**, double**, double**, double**, double**) {}
