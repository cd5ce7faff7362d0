#pragma once
// Sensitivities of the computed responses to the parameters by central differences of whole
// model solutions (or forward sensitivities), the normal matrix, its inverse and the
// Gauss-Newton correction. Results land in the caller's JacobianWork (Jacobian, Residuals,
// NormalMatrix, NormalInverse). Residuals are numbered variable by variable, event by event within a
// variable; only defined values count, and in a model with differential equations the first
// event of every experiment is left out (its computed value is its measured value).

#include <memory>
#include <vector>

#include "model/experiments.h"
#include "model/solver.h"

namespace zelk {

// The Jacobians' storage, grown to the problem when residuals are enumerated: the matrices,
// the residual cells (1..ResidualCount), the columns being formed, the base solution
// (computed and measured values, which a static section may write) and the design's private
// copy of its data.
struct JacobianWork {
  JacobianWork();
  TTable<double, 0, kMaxIndep> Jacobian;      // [residual][column]
  std::vector<double> Residuals;              // [0..ResidualCount]
  std::vector<double> DesignDiffs;            // [0..ResidualCount - 1]
  std::vector<TResidualCell> ResidualCells;   // [0..ResidualCount]
  // When not empty, the cells (from [0]) a fit Jacobian differentiates instead of the
  // defined values: an objective whose residuals are functions of several cells.
  std::vector<TResidualCell> ChosenCells;
  int ResidualCount = 0;
  std::vector<double> Ahead, Behind;          // [0..ResidualCount] a column's two trial solutions
  TYTable BaseComputed;
  TYTable BaseMeasured;
  std::unique_ptr<TYData> DesignCopy;
  TNormalMatrix NormalMatrix{};
  TNormalMatrix NormalInverse{};
};

// The columns of a fit Jacobian: the parameter of each column, in order, and the bounds the
// difference quotients keep to (no solution is asked for outside them).
struct JacobianColumns {
  std::vector<int> Params;
  T20Vector Lower{}, Upper{};
  // dp/du of each column's parameter where it is searched as u (a scale); empty: all 1.
  std::vector<double> Slopes;
};
// Parameters 1..count without bounds.
JacobianColumns AllColumns(int count);

inline constexpr const char* kJacobianFailed = "Jacobian cannot be evaluated!";
inline constexpr const char* kMatrixSingular =
    "Matrix is close to singular - Computation terminated";

inline constexpr double kDesignStep = 0.05;
// The relative difference step of a model solved by Merson at its tolerance 1e-4.
inline constexpr double kMersonRelativeStep = 1e-3;

// Visits the residual cells (event, variable) in their order: variable by variable, event by
// event, defined values only, and without the first event of an experiment when there are
// differential equations.
template <class Visit>
void ForEachResidualCell(int difEqCount, const TXData& x, const TYData& y, Visit&& visit) {
  for (int d = 1; d <= y.DepCount; ++d)
    for (int e = 1; e <= y.EventCount; ++e) {
      if (!y.Defined.at(e)[d]) continue;
      const bool startsExperiment = e == 1 || !SameExperiment(x, e - 1, e);
      if (difEqCount > 0 && startsExperiment) continue;
      visit(e, d);
    }
}

// Fills work.ResidualCells[1..] for (x, y) and returns their number.
int EnumerateResiduals(JacobianWork& work, int difEqCount, const TXData& x, const TYData& y);
// Their number alone, for a model with `difEqCount` differential equations.
int CountResiduals(int difEqCount, const TXData& x, const TYData& y);

// The relative step of the difference quotients: it balances the quotient's truncation
// against the noise of the solution, rounding for an algebraic model, the integrator's
// tolerance for a differential one.
double RelativeDifferenceStep(const SolveContext& ctx);

// The fit Jacobian dC/dp at `parameters` on `measured`, column j for columns.Params[j] in
// Jacobian[n][j + 1], with Residuals[n] = C - M: from forward sensitivities where the context
// asks for them, else by central differences with a step scaled to each parameter (a
// parameter at 0 gets the relative step as its increment). Next to a bound the quotient turns
// one-sided. A residual that does not depend on a parameter gets 0. A trial solution that
// fails is replaced by one on the other side, then by shorter steps; only when none can be
// solved does the Jacobian fail, after "Jacobian cannot be evaluated!". Afterwards the data
// set holds the base solution again.
bool ComputeJacobian(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters,
                     const JacobianColumns& columns, TDataSet& measured);
// NormalMatrix := J'J and NormalInverse := (J'J)^-1 over `count` columns, the inverse through
// a QR factorisation of J, which loses half the digits J'J would. False when J is singular.
bool FormNormalInverse(JacobianWork& work, int count);
// delta[j] := -((J'J)^-1 J'r)[j], j = 1..count, from the last FormNormalInverse.
void GaussNewtonDelta(JacobianWork& work, int count, T20Vector& delta);

// The Jacobian of a design data set, solved on the private copy of `y` with one
// trial per parameter at the fixed relative step 0.05; Residuals is not written.
bool ComputeDesignJacobian(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters, int paramCount,
                           TXData& x, const TYData& y);
// ComputeDesignJacobian, then NormalMatrix; no inversion.
bool ComputeDesignNormalMatrix(SolveContext& ctx, JacobianWork& work, const T20Vector& parameters, int paramCount,
                               TXData& x, const TYData& y);

}  // namespace zelk
