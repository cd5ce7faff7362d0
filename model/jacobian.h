#pragma once
// Sensitivities of the computed responses to the parameters by forward differences of whole
// model solutions, the normal matrix, its inverse and the Gauss-Newton correction. Results
// land in the caller's JacobianWork (Jacobian, Residuals, NormalMatrix, NormalInverse,
// GainMatrix). Residuals are numbered variable by variable, event by event within a
// variable; only defined values count, and in a model with differential equations the first
// event of every experiment is left out (its computed value is its measured value).

#include <memory>
#include <vector>

#include "model/solver.h"

namespace zelk {

// The Jacobians' storage, allocated once at its full size (some 20 MB): the matrices, the
// residual cells (1..ResidualCount), the column being formed, which residuals still look for
// a step, the base solution and the design's private copy of its data.
struct JacobianWork {
  JacobianWork();
  std::vector<T20Vector> Jacobian;    // [0..50000]
  std::vector<T20Vector> GainMatrix;  // [0..50000]
  std::vector<double> Residuals;      // [0..50000]
  std::vector<double> DesignDiffs;    // [0..49999]
  std::vector<TResidualCell> ResidualCells;  // [0..50000]
  int ResidualCount = 0;
  std::vector<double> JacobianColumn;         // [0..50000]
  std::vector<std::uint8_t> ResidualPending;  // [0..50000]
  std::vector<T50Vector> BaseComputed;        // [0..1000]
  std::unique_ptr<TYData> DesignCopy;
  TNormalMatrix NormalMatrix{};
  TNormalMatrix NormalInverse{};
};

inline constexpr const char* kJacobianFailed = "Jacobian cannot be evaluated!";
inline constexpr const char* kMatrixSingular =
    "Matrix is close to singular - Computation terminated";

inline constexpr double kFirstRelativeStep = 1e-4;  // doubled per rejected try, below 5
inline constexpr double kLastStepBound = 5;
inline constexpr double kRoundingLoss = 1e-8;  // relative change lost in rounding
inline constexpr double kDesignStep = 0.05;

// Fills work.ResidualCells[1..] for (x, y) and returns their number.
int EnumerateResiduals(JacobianWork& work, int difEqCount, const TXData& x, const TYData& y);
// The same cells as a list.
std::vector<TResidualCell> ListResiduals(int difEqCount, const TXData& x, const TYData& y);
// Their number alone, for a model with `difEqCount` differential equations.
int CountResiduals(int difEqCount, const TXData& x, const TYData& y);

// The fit Jacobian at `parameters` on `measured`: for each parameter one trial solution per
// step size, shared by every residual that still needs a step, so at most 16 per parameter
// plus the base. A parameter at 0 gets the step itself as its increment. Afterwards the
// computed values are the base solution's again. False after "Jacobian cannot be
// evaluated!" when a solution fails.
bool ComputeJacobian(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters, int paramCount,
                     TDataSet& measured);
// ComputeJacobian, then NormalMatrix = J'J and its inverse; false if either fails, with
// `singular` (when given) set when the Jacobian was formed but the inversion failed.
bool ComputeNormalInverse(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters, int paramCount,
                          TDataSet& measured, bool* singular = nullptr);
// delta := -(J'J)^-1 J'r. On failure "Matrix is close to singular - Computation terminated"
// is said and delta is not written.
bool GaussNewtonStep(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters, int paramCount,
                     TDataSet& measured, T20Vector& delta);

// The Jacobian of a design data set, solved on the private copy of `y` with one
// trial per parameter at the fixed relative step 0.05; Residuals is not written.
bool ComputeDesignJacobian(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters, int paramCount,
                           TXData& x, const TYData& y);
// ComputeDesignJacobian, then NormalMatrix; no inversion.
bool ComputeDesignNormalMatrix(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters, int paramCount,
                               TXData& x, const TYData& y);

}  // namespace zelk
