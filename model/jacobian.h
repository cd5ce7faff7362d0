#pragma once
// Sensitivities of the computed responses to the parameters by forward differences of whole
// model solutions, the normal matrix, its inverse and the Gauss-Newton correction. Results
// land in the model object's matrices (Jacobian, Residuals, NormalMatrix, NormalInverse,
// GainMatrix). Residuals are numbered variable by variable, event by event within a
// variable; only defined values count, and in a model with differential equations the first
// event of every experiment is left out (its computed value is its measured value).

#include "model/solver.h"

namespace zelk {

inline constexpr const char* kJacobianFailed = "Jacobian cannot be evaluated!";
inline constexpr const char* kMatrixSingular =
    "Matrix is close to singular - Computation terminated";

inline constexpr double kFirstRelativeStep = 1e-4;  // doubled per rejected try, below 5
inline constexpr double kLastStepBound = 5;
inline constexpr double kRoundingLoss = 1e-8;  // relative change lost in rounding
inline constexpr double kDesignStep = 0.05;

// Fills model.ResidualCells[1..] for (x, y) and returns their number.
int EnumerateResiduals(TModel& model, const TXData& x, const TYData& y);
// Their number alone, for a model with `difEqCount` differential equations.
int CountResiduals(int difEqCount, const TXData& x, const TYData& y);

// The fit Jacobian at `parameters` on `measured`: for each parameter one trial solution per
// step size, shared by every residual that still needs a step, so at most 16 per parameter
// plus the base. A parameter at 0 gets the step itself as its increment. Afterwards the
// computed values are the base solution's again. False after "Jacobian cannot be
// evaluated!" when a solution fails.
bool ComputeJacobian(SolveContext& ctx, const T20Vector& parameters, int paramCount,
                     TDataSet& measured);
// ComputeJacobian, then NormalMatrix = J'J and its inverse; false if either fails, with
// `singular` (when given) set when the Jacobian was formed but the inversion failed.
bool ComputeNormalInverse(SolveContext& ctx, const T20Vector& parameters, int paramCount,
                          TDataSet& measured, bool* singular = nullptr);
// delta := -(J'J)^-1 J'r. On failure: the operation ends, "Matrix is close to singular -
// Computation terminated" is shown and delta is not written.
bool GaussNewtonStep(SolveContext& ctx, const T20Vector& parameters, int paramCount,
                     TDataSet& measured, T20Vector& delta);

// The Jacobian of a design data set, solved on the model's private copy of `y` with one
// trial per parameter at the fixed relative step 0.05; Residuals is not written.
bool ComputeDesignJacobian(SolveContext& ctx, const T20Vector& parameters, int paramCount,
                           TXData& x, const TYData& y);
// ComputeDesignJacobian, then NormalMatrix; no inversion.
bool ComputeDesignNormalMatrix(SolveContext& ctx, const T20Vector& parameters, int paramCount,
                               TXData& x, const TYData& y);

}  // namespace zelk
