#pragma once
// The stiff integrator: CVODES' variable-order BDF with a dense Newton solver, integrating a
// model's differential equations from event to event as Merson does. Its memory is set up
// once for a number of equations; a solution allocates nothing. When an interval starts
// where the previous one ended, from the same state and with the same parameters (no dose
// in between), the integration goes on with the step and order it had reached.

#include <vector>

#include "model/solver.h"

namespace zelk {

// dy/dp of every state for some parameters: [column][variable], column j for parameter
// Params[j], variables 1..DepCount.
struct StateSensitivities {
  std::vector<int> Params;
  std::vector<T50Vector> Columns;
};

struct BdfTolerances {
  double Relative = 1e-6;
  double Absolute = 1e-10;
  bool operator==(const BdfTolerances&) const = default;
};

inline constexpr long kBdfMaxSteps = 100000;  // per interval
inline constexpr const char* kBdfFails = "!! BDF Fails: %s at x = %s";

class BdfIntegrator {
 public:
  BdfIntegrator();
  ~BdfIntegrator();
  BdfIntegrator(const BdfIntegrator&) = delete;
  BdfIntegrator& operator=(const BdfIntegrator&) = delete;

  BdfTolerances Tolerances;

  // Integrates the differential components 1..DifEqCount of y0 from from[1] to to[1] into y
  // (the other responses keep y0's values), the other independent variables held at from's. Solved; PrecisionNotReached when CVODES gave up
  // short of to[1] (error or convergence tests, too many steps), its reason in the log when
  // the context asks for integration errors; ModelFault when the model's derivatives failed
  // (or passed the time limit).
  // With `s`, also the forward sensitivities of the states to the parameters s->Params, which
  // start at *s and end in it; CVODES forms their right-hand sides by difference quotients
  // of the model's derivatives.
  SolveResult Integrate(SolveContext& ctx, const T20Vector& parameters, const T20Vector& from,
                        const T20Vector& to, const T50Vector& y0, T50Vector& y,
                        StateSensitivities* s = nullptr);

 private:
  struct Cvodes;
  Cvodes* cv_;
};

}  // namespace zelk
