// dy/dt = -k y: a differential model library built by the C++ compiler, so that the solver
// can be tested without Free Pascal.
extern "C" void DynamicEquations(double** p, double**, double** y, double** dy) {
  (*dy)[1] = -(*p)[1] * (*y)[1];
}

extern "C" void InitialEquations(double**, double**, double**, double**, double**) {}
