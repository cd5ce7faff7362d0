#pragma once
// A started workspace with a compiled test model loaded and a data set to solve.

#include <gtest/gtest.h>

#include <string>

#include "support/workspace_fixture.h"

namespace zelk::test {

inline std::string ModelPath(const std::string& name) {
  return std::string(MODEL_DIR) + "/" + name + ".dll";
}

class ModelTest : public WorkspaceTest {
 protected:
  void Load(const std::string& name) {
    ws_->Model.LoadModelLibrary(ModelPath(name), BoxesOf(ui_));
    ASSERT_EQ(ws_->Model.LibFileName, ModelPath(name));
  }

  // Events at `times` with the first measured value of each experiment given; dependent
  // values of other events are measured as `other`.
  void Data(int dep, int difEq, const std::vector<double>& times, double first = 1.0,
            double other = 0.5) {
    Type(Dimension::Dep, std::to_string(dep));
    Type(Dimension::DifEq, std::to_string(difEq));
    Type(Dimension::Events, std::to_string(times.size()));
    TDataSet& d = ws_->MeasuredData;
    for (std::size_t j = 1; j <= times.size(); ++j) {
      d.XData.X[j][1] = times[j - 1];
      d.XData.Defined[j][1] = true;
      const bool starts = j == 1 || times[j - 1] < times[j - 2];
      for (int i = 1; i <= dep; ++i) {
        d.YData.M[j][i] = starts ? first : other;
        d.YData.Defined[j][i] = true;
      }
    }
    ws_->SetDataSaved(false);  // ranges
    ui_.Messages.clear();
  }

  // A model of two parameters fitted to one response measured as `y` at times `x` (one
  // experiment, algebraic), starting from (a, b).
  void TwoParameterProblem(const char* model, const std::vector<double>& x,
                           const std::vector<double>& y, double a, double b) {
    Load(model);
    Data(1, 0, x);
    for (std::size_t j = 1; j <= y.size(); ++j) ws_->MeasuredData.YData.M[j][1] = y[j - 1];
    ws_->SetDataSaved(true);
    Type(Dimension::Param, "2");
    ws_->SetParameterValue(1, a);
    ws_->SetParameterValue(2, b);
  }

  SolveResult Solve(std::initializer_list<double> values, EarlyStop stop = {}) {
    T20Vector p{};
    int i = 1;
    for (double v : values) p[i++] = v;
    return ws_->Problem().Solve(p, stop);
  }

  double C(int event, int variable = 1) const { return ws_->MeasuredData.YData.C[event][variable]; }
};

}  // namespace zelk::test
