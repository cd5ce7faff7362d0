#pragma once
// The model solver: the model's responses at every event of a data set for one parameter
// vector, by Runge-Kutta-Merson integration from event to event (a model with differential
// equations) or one evaluation per event (an algebraic model). Allocates nothing.
//
// A solution ends solved, abandoned by the caller's early stop (not a failure: the trial
// is already worse than what the caller compares it with), or failed, with the reason.

#include <functional>
#include <array>
#include <cstdint>

#include "base/data_set.h"
#include "model/message_sink.h"
#include "model/message_log.h"
#include "model/model_library.h"

namespace zelk {

inline constexpr double kMersonTolerance = 1e-4;
inline constexpr double kStepDoublingFactor = 1.0 / 32;  // of the tolerance
inline constexpr double kFirstStepFraction = 2e-5;       // of the X range's width
inline constexpr double kSmallestFirstStep = 1e-4;
inline constexpr double kMinStepFraction = 2e-6;  // of an interval's length
inline constexpr double kIntervalEndTolerance = 1e-10;
inline constexpr double kErrorFloor = 1e-5;  // components at or below it are not estimated

inline constexpr const char* kNoLibrary =
    "No model library is currently loaded\nLoaded model source must be compiled before use";
inline constexpr const char* kMersonFails = "!! Merson Fails: Required precision not achieved!";

enum class TObjectiveKind { SumOfSquares, BoxDraper, WeightedSS, Likelihood };

enum class SolveResult : std::uint8_t {
  Solved,
  Abandoned,            // the running sum of squares passed the caller's bound
  PrecisionNotReached,  // an interval fell short of the tolerance; the solution went on
  NoLibrary,
  ModelFault,  // a call into the model failed; the solution stopped at that event
  TimeLimit,   // the model did not return within the time limit; the solution stopped
};

inline bool IsFailure(SolveResult r) {
  return r != SolveResult::Solved && r != SolveResult::Abandoned;
}
// The classic result codes: 0 solved, 1 precision not reached or abandoned, 3 otherwise.
int ResultCode(SolveResult r);
const char* ResultName(SolveResult r);

// How the caller lets a solution end early on the measured data's running sum of squares,
// which is left in the context's PartialSum. Abandon: once it exceeds Bound the trial is dropped.
// Truncate: once it exceeds Bound the solution ends as solved, later events not computed.
struct EarlyStop {
  enum class Rule : std::uint8_t { None, Abandon, Truncate };
  Rule Kind = Rule::None;
  double Bound = 0;
};

// Counters a benchmark or a batch run can read back.
struct SolverStats {
  std::int64_t Solutions = 0;
  std::int64_t DerivativeCalls = 0;
  std::int64_t InitialCalls = 0;
  std::int64_t AcceptedSteps = 0;
  std::int64_t RejectedSteps = 0;
  std::int64_t PrecisionFailures = 0;
  std::int64_t SolveNanoseconds = 0;  // wall time inside SolveModel, for the drivers' shares
};

class BdfIntegrator;

// What a solution reads and writes besides the data set it solves.
struct SolveContext {
  TModel& Model;
  const TDataSet& Measured;  // its DepCount sizes every loop; the early abort sums on it
  const MessageSink& Say;  // the user's word on a missing library or a failed Jacobian
  MessageLog& Log;
  SolverStats& Stats;
  EarlyStop Stop = {};
  bool ShowIntegrationErrors = false;
  double TimeLimit = 0;   // seconds a solution may take; 0: no limit
  double PartialSum = 0;  // out: the running sum of squares where an early stop last looked
  BdfIntegrator* Bdf = nullptr;  // integrates the differential equations instead of Merson
  bool SensitivityJacobian = false;  // with Bdf: fit Jacobians from forward sensitivities
  // A search's difference Jacobian: one-sided quotients from one solution per parameter,
  // half the central ones' cost and precise enough to find the way; the statistics keep
  // the central ones.
  bool ForwardDifferences = false;
  // Asked between a difference Jacobian's columns, so that a long one keeps the window
  // answering; false abandons the Jacobian (no message).
  std::function<bool()> BetweenColumns = {};
};

// Solves events 1..EventCount of (x, y) into y.C; writes no row beyond EventCount and no
// variable beyond DepCount.
// Without a library: the message and NoLibrary, which ends whatever the caller runs. A solution that passes the
// time limit ends at once with TimeLimit and its message in the log, whatever the settings.
SolveResult SolveModel(SolveContext& ctx, const T20Vector& parameters, TXData& x, TYData& y);

// Integrates y0 from from[1] to to[1] into y; h is the first trial step and, on return,
// the step to try next.
// Solved, PrecisionNotReached or ModelFault (a derivative call failed below the smallest step).
SolveResult MersonIntegrate(SolveContext& ctx, const T20Vector& parameters, const T20Vector& from,
                            const T20Vector& to, const T50Vector& y0, T50Vector& y, double& h,
                            double tol);

double InitialStepSize(const std::array<double, 2>& range);

// Sum over defined measured values of events 1..i of (M - C)^2.
double PartialSumOfSquares(const TDataSet& measured, int i);

}  // namespace zelk
