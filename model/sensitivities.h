#pragma once
// The fit Jacobian of a differential model from forward sensitivities: one BDF solution of
// the model with dy/dp for every parameter instead of a difference quotient per parameter.
// The first event of an experiment starts from its measured values, whose sensitivities are
// what the static section's first call makes of them (a parameter written there as an
// initial value has sensitivity 1); the static section's change of the state at a later event
// carries the sensitivities across by a directional difference quotient (exact for a dose
// that adds a constant).

#include <vector>

#include "model/bdf_integrator.h"
#include "model/jacobian.h"

namespace zelk {

// Whether the context's solutions can give sensitivities: BDF, and differential equations.
bool SensitivitiesAvailable(const SolveContext& ctx);

// ComputeJacobian's result (Jacobian, Residuals, ResidualCells, the computed values at
// `parameters`) from one solution with sensitivities. False after "Jacobian cannot be
// evaluated!" when the solution fails.
bool ComputeSensitivityJacobian(SolveContext& ctx, JacobianWork& work,
                                const T20Vector& parameters, const std::vector<int>& params,
                                TDataSet& measured);

// The sensitivities of the computed values C[e][d] of `measured` to parameters `params`:
// out[e].Columns[j][d]. Solved, or why the solution failed.
SolveResult SolveSensitivities(SolveContext& ctx, const T20Vector& parameters,
                               const std::vector<int>& params, TDataSet& measured,
                               std::vector<StateSensitivities>& out);

}  // namespace zelk
