#pragma once
// TModel: the one model object: the loaded model library, its guarded entry points and the
// state a solution carries from event to event.
//
// The library contract, as the generated Pascal source declares it:
//   procedure DynamicEquations(var p,x : P20Vector; var y,dy : P50Vector);
//     fills dy^[1..DepCount] with the derivatives of y at x (an algebraic model writes the
//     responses into y instead);
//   procedure InitialEquations(var p,x : P20Vector; var y : P50Vector;
//                              var xe : P20x500Matrix; var ye : P50x500Matrix);
//     the static section: runs before the first event and after every integrated event and
//     may change y (a dose) and the measured values ye. Their rows are XeStride and
//     YeStride doubles long, as the library says through MatrixStrides(var xs, ys : LongInt)
//     (21 and 51 for a library without it).
//   procedure StartEquations(var p,x : P20Vector; var y : P50Vector);
//     the optional initial section: runs at the first event of every experiment with the
//     measured starting values in y and may change them (initial values from parameters).
//   p, x, y and dy reach as many values as the problem has.
// Every argument is the address of a pointer; the library gets addresses of copies of our
// pointers, so a model that reassigns them cannot redirect the caller. Slot 0 holds no value.

#include <array>
#include <cstdint>
#include <string>

#include "base/data_set.h"
#include "model/message_sink.h"

namespace zelk {

// A residual: the measured value of event Event, dependent variable Variable.
struct TResidualCell {
  int Event = 0;
  int Variable = 0;
};

using TDynamicProc = void (*)(double**, double**, double**, double**);
using TInitialProc = void (*)(double**, double**, double**, double**, double**);
using TStartProc = void (*)(double**, double**, double**);
using TNormalMatrix = TTable<double, kMaxDep, kMaxDep>;  // [1..n][1..n], grown by Hold(n, n)

inline constexpr const char* kLoadFailed = "Zelk failed to load compiled model!";
inline constexpr const char* kUnloadProblems =
    "Problems encountered during model unloading\napplication may become unstable!";

class TModel {
 public:
  TModel() = default;
  TModel(const TModel&) = delete;
  TModel& operator=(const TModel&) = delete;

  void* LibHandle = nullptr;
  TInitialProc InitialProc = nullptr;
  TDynamicProc DynamicProc = nullptr;
  TStartProc StartProc = nullptr;  // null: the measured starting values stand
  T50Vector DyTemplate{};  // what dy holds before every derivative call
  T50Vector StartState{};
  T20Vector StartPoint{};
  bool ModelSaved = true;
  bool ModelCompiled = false;
  std::string LibFileName;  // empty exactly when no library is loaded
  int DifEqCount = 0;
  int AlgEqCount = 0;
  int XeStride = kMaxIndep + 1;
  int YeStride = kMaxDep + 1;

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
  // True without a call when the library has no initial section.
  bool CallStart(double* p, double* x, double* y);

  // Benchmarks switch the guard off to measure what it costs.
  bool Guarded = true;
};

}  // namespace zelk
