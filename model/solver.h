#pragma once
// The model solver: the model's responses at every event of a data set for one parameter
// vector, by Runge-Kutta-Merson integration from event to event (a model with differential
// equations) or one evaluation per event (an algebraic model). Allocates nothing.
//
// Results: 0 every event solved within the precision; 1 precision not reached on some
// interval (the solution went on) or a trial abandoned early; 3 no library loaded or a
// failed model call (the solution stopped there). Callers treat any non-zero as failure.

#include <array>
#include <cstdint>

#include "model/message_log.h"
#include "model/model_library.h"
#include "workspace/data_set.h"
#include "workspace/user_interface.h"

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

enum class TObjectiveKind { SumOfSquares, BoxDraper, WeightedSS };

// Counters a benchmark or a batch run can read back.
struct SolverStats {
  std::int64_t DerivativeCalls = 0;
  std::int64_t InitialCalls = 0;
  std::int64_t AcceptedSteps = 0;
  std::int64_t RejectedSteps = 0;
  std::int64_t PrecisionFailures = 0;
};

// What a solution reads and writes besides the data set it solves.
struct SolveContext {
  TModel& Model;
  const TDataSet& Measured;  // its DepCount sizes every loop; the early abort sums on it
  UserInterface& Ui;
  MessageLog& Log;
  std::uint8_t& OperationMode;
  double& TrialObjective;
  SolverStats& Stats;
  TObjectiveKind ObjectiveFunc = TObjectiveKind::SumOfSquares;
  bool ObjectiveReady = false;
  bool LimitReady = false;
  bool ShowIntegrationErrors = false;
  double BestObjective = 0;
  double ProfileMinObjective = 0;
};

// Solves events 1..EventCount of (x, y) into y.C; writes no row beyond EventCount and no
// variable beyond DepCount.
int SolveModel(SolveContext& ctx, const T20Vector& parameters, TXData& x, TYData& y);

// Integrates y0 from from[1] to to[1] into y; h is the first trial step and, on return,
// the step to try next.
int MersonIntegrate(SolveContext& ctx, const T20Vector& parameters, const T20Vector& from,
                    const T20Vector& to, const T50Vector& y0, T50Vector& y, double& h, double tol);

double InitialStepSize(const std::array<double, 2>& range);

// Sum over defined measured values of events 1..i of (M - C)^2.
double PartialSumOfSquares(const TDataSet& measured, int i);

}  // namespace zelk
