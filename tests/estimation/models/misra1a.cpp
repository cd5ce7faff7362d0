// y = b1 (1 - exp(-b2 x)): an algebraic model library with the compiled models' two entry
// points, built by the C++ compiler so that fits can be tested without Free Pascal.
#include <cmath>

extern "C" void DynamicEquations(double** p, double** x, double** y, double**) {
  (*y)[1] = (*p)[1] * (1 - std::exp(-(*p)[2] * (*x)[1]));
}

extern "C" void InitialEquations(double**, double**, double**, double**, double**) {}
