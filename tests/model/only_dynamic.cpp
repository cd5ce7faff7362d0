// A model library that exports DynamicEquations and nothing else.
extern "C" void DynamicEquations(double** p, double**, double** y, double** dy) {
  (*dy)[1] = -(*p)[1] * (*y)[1];
}
