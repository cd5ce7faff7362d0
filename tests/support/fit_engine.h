#pragma once
// The fit engine without a workspace: a model library from MODEL_DIR, a data set filled
// event by event, a fit problem, a parameter table and a search ground on a plain run
// loop whose words are kept in `said`.

#include <memory>
#include <string>
#include <vector>

#include "estimation/fit_searches.h"

namespace zelk::test {

struct FitEngine {
  FitEngine(const std::string& library, int parameterCount) {
    // A name without extension is a C++ model; "decay.dll" names a Pascal one.
    const bool named = library.find('.') != std::string::npos;
    model.LoadModelLibrary(std::string(MODEL_DIR) + "/" + library + (named ? "" : ".so"), {});
    parameters.Count = parameterCount;
    measured->YData.EventCount = 0;
  }
  // One more event at x with the responses measured as `y`; then Ready().
  void Measure(double x, const std::vector<double>& y) {
    TDataSet& d = *measured;
    const int e = ++d.YData.EventCount;
    d.YData.DepCount = static_cast<int>(y.size());
    d.XData.X[e][1] = x;
    d.XData.Defined[e][1] = true;
    for (std::size_t i = 0; i < y.size(); ++i) {
      d.YData.M[e][i + 1] = y[i];
      d.YData.Defined[e][i + 1] = true;
    }
  }
  void Ready() { ComputeRanges(*measured); }

  std::vector<std::string> said;
  TModel model;
  std::unique_ptr<TDataSet> measured = std::make_unique<TDataSet>();
  TZelkPrefs prefs;
  MessageLog log{[] {}};
  FitProblem problem{model, *measured, prefs, log};
  TParameterRecord parameters = StartParameterRecord();
  PlainRunLoop loop{[this](Severity, const std::string& text) { said.push_back(text); }};
  SearchState state;
  Search search{problem, parameters, state, loop};
};

}  // namespace zelk::test
