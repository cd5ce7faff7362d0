// Robertson's stiff three-species reaction, rate constants p[1..3] (0.04, 3e7, 1e4):
// A -> B, 2 B -> B + C, B + C -> A + C.
extern "C" void DynamicEquations(double** p, double**, double** y, double** dy) {
  const double* k = *p;
  const double* c = *y;
  double* d = *dy;
  d[1] = -k[1] * c[1] + k[3] * c[2] * c[3];
  d[2] = k[1] * c[1] - k[3] * c[2] * c[3] - k[2] * c[2] * c[2];
  d[3] = k[2] * c[2] * c[2];
}

extern "C" void InitialEquations(double**, double**, double**, double**, double**) {}
