#pragma once
// TModel: the one model object. It holds the loaded model library and the per-model working
// storage, allocated once at its full size.
//
// The library contract, as the generated Pascal source declares it:
//   procedure DynamicEquations(var p,x : P20Vector; var y,dy : P50Vector);
//     fills dy^[1..DepCount] with the derivatives of y at x (an algebraic model writes the
//     responses into y instead);
//   procedure InitialEquations(var p,x : P20Vector; var y : P50Vector;
//                              var xe : P20x500Matrix; var ye : P50x500Matrix);
//     the static section: runs before the first event and after every integrated event and
//     may change y (a dose) and the measured values ye.
// Every argument is the address of a pointer; the library gets addresses of copies of our
// pointers, so a model that reassigns them cannot redirect the caller. Slot 0 holds no value.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/data_set.h"
#include "model/message_sink.h"

namespace zelk {

inline constexpr int kMaxResiduals = 50000;

// A residual: the measured value of event Event, dependent variable Variable.
struct TResidualCell {
  int Event = 0;
  int Variable = 0;
};

using TDynamicProc = void (*)(double**, double**, double**, double**);
using TInitialProc = void (*)(double**, double**, double**, double**, double**);
using TNormalMatrix = std::array<std::array<double, kMaxDep + 1>, kMaxDep + 1>;  // [1..50][1..50]

inline constexpr const char* kLoadFailed = "Zelk failed to load compiled model!";
inline constexpr const char* kUnloadProblems =
    "Problems encountered during model unloading\napplication may become unstable!";

class TModel {
 public:
  TModel();
  TModel(const TModel&) = delete;
  TModel& operator=(const TModel&) = delete;

  void* LibHandle = nullptr;
  TInitialProc InitialProc = nullptr;
  TDynamicProc DynamicProc = nullptr;
  T50Vector DyTemplate{};  // what dy holds before every derivative call
  T50Vector StartState{};
  T20Vector StartPoint{};
  std::vector<T20Vector> Jacobian;    // [0..50000]
  std::vector<T20Vector> GainMatrix;  // [0..50000]
  std::vector<double> Residuals;      // [0..50000]
  std::vector<double> DesignDiffs;    // [0..49999]
  // Working storage of the Jacobians, allocated once: the residual cells (1..ResidualCount),
  // the column being formed, which residuals still look for a step, the base solution.
  std::vector<TResidualCell> ResidualCells;  // [0..50000]
  int ResidualCount = 0;
  std::vector<double> JacobianColumn;         // [0..50000]
  std::vector<std::uint8_t> ResidualPending;  // [0..50000]
  std::vector<T50Vector> BaseComputed;        // [0..1000]
  std::unique_ptr<TYData> DesignCopy;
  bool ModelSaved = true;
  bool ModelCompiled = false;
  std::string LibFileName;  // empty exactly when no library is loaded
  int DifEqCount = 0;
  int AlgEqCount = 0;
  TNormalMatrix NormalMatrix{};
  TNormalMatrix NormalInverse{};

  // Loads the library; true only when both entry points were found. A library without them
  // still counts as loaded (every call into it then fails). A file that cannot be loaded,
  // or whose start-up code faults, halts or runs for more than 10 s (tried first in a child
  // process), says "Zelk failed to load compiled model!" to `say` and changes nothing.
  bool LoadModelLibrary(const std::string& path, const MessageSink& say);
  // Frees the library, if any; a failure is a warning to `say`. Afterwards none is loaded.
  void UnloadModelLibrary(const MessageSink& say);

  // Guarded calls into the library; false when the entry point is missing or the model
  // faulted (see model_guard.h). Never throws.
  bool CallDynamic(double* p, double* x, double* y, double* dy);
  bool CallInitial(double* p, double* x, double* y, double* xe, double* ye);

  // Benchmarks switch the guard off to measure what it costs.
  bool Guarded = true;
};

}  // namespace zelk
