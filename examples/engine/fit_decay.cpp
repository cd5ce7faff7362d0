// The engine as a library: dy/dt = -k y fitted to five measured points with one call, no
// window and no workspace. Run with the model library's path:
//   fit_decay build/tests/engine_models/decay_ode.so
#include <cmath>
#include <cstdio>
#include <memory>

#include "estimation/fit.h"

int main(int argc, char** argv) {
  using namespace zelk;
  TModel model;
  if (argc < 2 || !model.LoadModelLibrary(argv[1], {})) return 1;
  model.DifEqCount = 1;
  auto data = std::make_unique<TDataSet>();  // y(t) = exp(-0.5 t), measured at t = 0..4
  data->YData.EventCount = 5;
  for (int j = 1; j <= 5; ++j) {
    data->XData.X[j][1] = j - 1;
    data->YData.M[j][1] = std::exp(-0.5 * (j - 1));
    data->XData.Defined[j][1] = data->YData.Defined[j][1] = true;
  }
  ComputeRanges(*data);
  TZelkPrefs prefs;
  MessageLog log{[] {}};
  FitProblem problem(model, *data, prefs, log);
  TParameterRecord table = StartParameterRecord();  // k starts at 1
  FitObserver quiet;
  const FitSummary fit = Fit(FitOptions{}, problem, table, quiet);
  std::printf("%s\nk = %.6f\n", fit.BriefReport().c_str(), table.Value[1]);
  return fit.Reason == SearchEnd::Converged && std::fabs(table.Value[1] - 0.5) < 1e-4 ? 0 : 1;
}
