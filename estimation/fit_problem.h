#pragma once
// A fit problem: a model and the measured data it is fitted to (both borrowed), the objective
// in use, the Jacobian's storage, the design's merged data set and the solution counters.
// Every number a search asks for comes from here; it knows nothing of who shows them.

#include <memory>
#include <optional>
#include <vector>

#include "base/data_set.h"
#include "base/preferences.h"
#include "estimation/likelihood.h"
#include "estimation/objective.h"
#include "model/bdf_integrator.h"
#include "model/jacobian.h"
#include "model/message_log.h"
#include "model/message_sink.h"
#include "model/model_library.h"
#include "model/solver.h"

namespace zelk {

class FitProblem {
 public:
  // `prefs` gives the time limit of a solution and whether integration errors are logged.
  FitProblem(TModel& model, TDataSet& measured, const TZelkPrefs& prefs, MessageLog& log)
      : model_(model), measured_(measured), prefs_(prefs), log_(log) {}
  FitProblem(const FitProblem&) = delete;
  FitProblem& operator=(const FitProblem&) = delete;

  TObjectiveKind ObjectiveKind = TObjectiveKind::SumOfSquares;
  std::vector<NoiseModel> Noise;  // the model's likelihood lines, for "Likelihood"
  SolverStats Stats;
  MessageSink Say;  // a missing library, a failed Jacobian; empty: silent
  // Between the columns of a difference Jacobian; false abandons it (SolveContext).
  std::function<bool()> BetweenColumns;
  bool ForwardDifferences = false;  // SolveContext's: set while a search takes its Jacobians

  TModel& Model() { return model_; }
  const TDataSet& Measured() const { return measured_; }
  const TZelkPrefs& Prefs() const { return prefs_; }
  MessageLog& Log() { return log_; }

  // What one solution reads and writes besides the data set it solves.
  SolveContext Context(EarlyStop stop = {});
  // Solves the measured data; after an early stop PartialSum() holds its running sum.
  SolveResult Solve(const T20Vector& parameters, EarlyStop stop = {});
  // Solves another data set of the same model (the chart's curve).
  SolveResult SolveData(const T20Vector& parameters, TDataSet& data);
  double PartialSum() const { return partial_; }
  // The objective in use on the measured data's computed values.
  double Objective() const;
  // N: the residuals of the measured data, as the Jacobian enumerates them.
  int ObservationCount() const;

  // The residuals of the objective in use from the measured data's computed values, in the
  // Jacobian's order: C - M, or (C - M) / w for "Weighted SS". False where one is no number.
  bool Residuals(std::vector<double>& out) const;
  // The Jacobian of those residuals at `parameters` for `columns` into Work().Jacobian and
  // Work().Residuals; false after the Jacobian's message.
  bool ResidualJacobian(const T20Vector& parameters, const JacobianColumns& columns);
  // ResidualJacobian, then J'J and its inverse; false after the Jacobian's message, or with
  // `singular` set when J is singular.
  bool NormalInverse(const T20Vector& parameters, const JacobianColumns& columns, bool& singular);
  // delta := -(J'J)^-1 J'r over the columns; false after the message why not.
  bool GaussNewtonCorrection(const T20Vector& parameters, const JacobianColumns& columns,
                             T20Vector& delta);
  // The D-optimal criterion of `candidates` (ascending): det J'J over the measured events and
  // the candidates, solved at `parameters`; nothing after the message why not.
  std::optional<double> DesignCriterion(const T20Vector& parameters, int count,
                                        const std::vector<double>& candidates);
  const JacobianWork& Work() const { return work_; }
  // The measured events merged with the last design candidates.
  const TDataSet& DesignData() const { return design_; }

 private:
  TModel& model_;
  TDataSet& measured_;
  const TZelkPrefs& prefs_;
  // The residual of cell (e, d) of the objective in use.
  double Residual(int e, int d) const;
  std::vector<LikelihoodCell> Cells() const;
  bool LikelihoodJacobianOf(const T20Vector& parameters, const JacobianColumns& columns);
  MessageLog& log_;
  JacobianWork work_;
  TDataSet design_;
  std::vector<int> designRows_;
  std::unique_ptr<BdfIntegrator> bdf_;  // made at the first solution that asks for it
  double partial_ = 0;
};

}  // namespace zelk
