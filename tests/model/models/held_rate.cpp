// dy1/dt = -y2 y1: the rate is the second response, which no differential equation moves
// (a static section's value, here the measured start).
extern "C" void DynamicEquations(double**, double**, double** y, double** dy) {
  (*dy)[1] = -(*y)[2] * (*y)[1];
}

extern "C" void InitialEquations(double**, double**, double**, double**, double**) {}
