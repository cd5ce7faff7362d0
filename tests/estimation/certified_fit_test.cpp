// A fit engine with no workspace: a problem over a C++ model library, searched on a plain
// run loop, against published nonlinear regression benchmarks' certified results (NIST StRD).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/messages.h"
#include "estimation/fit_searches.h"
#include "estimation/fit.h"
#include "estimation/scales.h"
#include "support/fit_engine.h"

namespace zelk {
namespace {

using Engine = test::FitEngine;

struct Certified {
  const char* name;
  const char* library;
  std::vector<double> x, y, values, start1, start2;
  double rss;
};

const Certified kMisra1a = {
    "Misra1a",
    "exponential",
    {77.6, 114.9, 141.1, 190.8, 239.9, 289.0, 332.8, 378.4, 434.8, 477.3, 536.8, 593.1, 689.1, 760.0},
    {10.07, 14.73, 17.94, 23.93, 29.61, 35.18, 40.02, 44.82, 50.76, 55.05, 61.01, 66.40, 75.47, 81.78},
    {2.3894212918E+02, 5.5015643181E-04},
    {500, 1e-4},
    {250, 5e-4},
    1.2455138894E-01};

const Certified kProblems[] = {
    kMisra1a,
    {"DanWood", "power", {1.309, 1.471, 1.490, 1.565, 1.611, 1.680},
     {2.138, 3.421, 3.597, 4.340, 4.882, 5.660}, {7.6886226176E-01, 3.8604055871E+00}, {1, 5},
     {0.7, 4}, 4.3173084083E-03},
    {"Rat42", "logistic", {9, 14, 21, 28, 42, 57, 63, 70, 79},
     {8.93, 10.8, 18.59, 22.33, 39.35, 56.11, 61.73, 64.62, 67.08},
     {7.2462237576E+01, 2.6180768402E+00, 6.7359200066E-02}, {100, 1, 0.1}, {75, 2.5, 0.07},
     8.0565229338E+00},
    {"BoxBOD", "exponential", {1, 2, 3, 5, 7, 10}, {109, 149, 149, 191, 213, 224},
     {2.1380940889E+02, 5.4723748542E-01}, {1, 1}, {100, 0.75}, 1.1680088766E+03},
    {"MGH09", "rational", {4, 2, 1, 0.5, 0.25, 0.167, 0.125, 0.1, 0.0833, 0.0714, 0.0625},
     {0.1957, 0.1947, 0.1735, 0.16, 0.0844, 0.0627, 0.0456, 0.0342, 0.0323, 0.0235, 0.0246},
     {1.9280693458E-01, 1.9128232873E-01, 1.2305650693E-01, 1.3606233068E-01},
     {25, 39, 41.5, 39}, {0.25, 0.39, 0.415, 0.39}, 3.0750560385E-04},
};

// The problem `c` on its library, with one response per event.
std::unique_ptr<Engine> Load(const char* library, const std::vector<double>& x,
                             const std::vector<double>& y, int count) {
  auto e = std::make_unique<Engine>(library, count);
  for (std::size_t j = 0; j < x.size(); ++j) e->Measure(x[j], {y[j]});
  e->Ready();
  return e;
}

std::unique_ptr<Engine> From(const Certified& c, const std::vector<double>& start) {
  auto e = Load(c.library, c.x, c.y, static_cast<int>(start.size()));
  EXPECT_FALSE(e->model.LibFileName.empty()) << c.library;
  for (std::size_t i = 0; i < start.size(); ++i) e->parameters.Value[i + 1] = start[i];
  return e;
}

// Gauss-Newton from the second (near) published start; from the first it does not get there.
TEST(CertifiedFit, GaussNewtonReachesMisra1aFromTheNearStart) {
  auto e = From(kMisra1a, kMisra1a.start2);
  SearchOptions options;
  options.Calls = 500;
  const SearchSummary s = GaussNewtonSearch(e->search, options);
  EXPECT_EQ(s.Reason, SearchEnd::Stall);
  EXPECT_EQ(s.FailedCalls, 0);
  // Forward differences limit the values to some five digits, the sum of squares to more.
  EXPECT_NEAR(s.Values[1] / kMisra1a.values[0], 1, 1e-5);
  EXPECT_NEAR(s.Values[2] / kMisra1a.values[1], 1, 1e-5);
  EXPECT_NEAR(s.Objective / kMisra1a.rss, 1, 1e-8);
  EXPECT_EQ(e->said, std::vector<std::string>{msg::kGNConverged});
  // The statistics come from the same problem: N = 14 residuals, nu = N - 1 - p.
  ASSERT_EQ(Statistics(e->problem, e->parameters, e->state.Result.Statistics), "");
  EXPECT_EQ(e->state.Result.Statistics.Observations, 14);
  EXPECT_EQ(e->state.Result.Statistics.Dof, 11);
}

// LM from both published starts of easy and hard problems: with its default tolerances the
// certified sum of squares to six significant digits; with tight ones the certified values
// to six and the sum of squares to nine.
TEST(CertifiedFit, LevenbergMarquardtReachesEveryProblemFromBothStarts) {
  SearchOptions tight;
  tight.Tolerances = {1e-15, 1e-12, 1e-16};
  for (const Certified& c : kProblems)
    for (const auto* start : {&c.start1, &c.start2})
      for (const SearchOptions& options : {SearchOptions{}, tight}) {
        auto e = From(c, *start);
        const SearchSummary s = LMSearch(e->search, options);
        const bool strict = &options == &tight;
        const std::string where = std::string(c.name) + (start == &c.start1 ? " start 1" : " start 2") +
                                  (strict ? " tight" : " default");
        EXPECT_EQ(s.Reason, SearchEnd::Converged) << where;
        for (std::size_t i = 0; strict && i < c.values.size(); ++i)
          EXPECT_NEAR(s.Values[i + 1] / c.values[i], 1, 1e-6) << where << " b" << i + 1;
        EXPECT_NEAR(s.Objective / c.rss, 1, strict ? 1e-9 : 1e-6) << where;
        EXPECT_EQ(e->state.Result.Search, kLMSearch);
        ASSERT_EQ(e->said.size(), 1u) << where;
        EXPECT_EQ(e->said[0].rfind("Optimize LM ended (converged): ", 0), 0u) << e->said[0];
      }
}

// Stop, as the window's Stop button gives it between two iterations: the search ends at once,
// on the last point it accepted, with no message of its own.
TEST(CertifiedFit, LevenbergMarquardtStopsBetweenIterations) {
  // Stop as soon as an iteration has moved the values.
  struct StopAfterAMove : PlainRunLoop {
    bool moved = false;
    void Changed(FitChange what) override { moved = moved || what == FitChange::Values; }
    void Serve() override {
      if (moved) Mode() = kIdle;
    }
  };
  auto e = From(kMisra1a, kMisra1a.start1);
  StopAfterAMove loop;
  SearchState state;
  Search search{e->problem, e->parameters, state, loop};
  const SearchSummary s = LMSearch(search, {});
  EXPECT_EQ(s.Reason, SearchEnd::Stopped);
  EXPECT_LT(s.Objective, state.Result.InitialObjective);
  EXPECT_GT(s.Objective, 2 * kMisra1a.rss);  // far from done
  e->problem.Solve(s.Values);
  EXPECT_DOUBLE_EQ(e->problem.Objective(), s.Objective);
  EXPECT_TRUE(state.Result.Message.empty());
}

// Stop while a Jacobian is computed (the window serves its events between the columns): the
// search ends there, Stopped, on its start, with no failure counted or said.
TEST(CertifiedFit, LevenbergMarquardtStopsInsideAJacobian) {
  struct StopAtFirstServe : PlainRunLoop {
    void Serve() override { Mode() = kIdle; }
  };
  auto e = From(kMisra1a, kMisra1a.start1);
  StopAtFirstServe loop;
  SearchState state;
  Search search{e->problem, e->parameters, state, loop};
  const SearchSummary s = LMSearch(search, {});
  EXPECT_EQ(s.Reason, SearchEnd::Stopped);
  EXPECT_EQ(s.FailedCalls, 0);
  EXPECT_EQ(s.Values[1], kMisra1a.start1[0]);
  EXPECT_DOUBLE_EQ(s.Objective, state.Result.InitialObjective);
  EXPECT_TRUE(state.Result.Message.empty());
  EXPECT_TRUE(e->said.empty());
  // No iteration was finished: the stop came before the first one's end.
  EXPECT_EQ(state.TotalCalls, 1u) << e->problem.Stats.Solutions;
}

// y = a exp(-k x) on rising data: the unconstrained optimum has k < 0, where the model
// faults. With k >= 0 the fit ends on the bound, a at the mean, and no trial is ever solved
// outside the bounds, soon; a fixed parameter does not move.
TEST(CertifiedFit, LevenbergMarquardtKeepsToTheBoundsAndTheFixedMarks) {
  const std::vector<double> x = {0, 1, 2, 3, 4}, y = {1.0, 1.05, 1.1, 1.12, 1.2};
  auto bounded = Load("bounded_decay", x, y, 2);
  Engine& e = *bounded;
  e.parameters.Value[1] = 2;
  e.parameters.Value[2] = 0.5;
  e.parameters.MinBound[2] = 0;
  const SearchSummary s = LMSearch(e.search, {});
  EXPECT_EQ(s.Reason, SearchEnd::Converged);
  EXPECT_EQ(s.FailedCalls, 0);
  EXPECT_EQ(s.Values[2], 0);
  EXPECT_NEAR(s.Values[1], 1.094, 1e-5);
  EXPECT_NEAR(s.Objective, 0.02272, 1e-9);
  // Held on its bound once the steps crawl along it: 15 iterations, where the projected
  // steps alone take 55. The steps' line search judges its points by their objective alone:
  // 212 solutions, where asking for the gradient at each takes 322.
  EXPECT_LE(s.Trials, 20);
  EXPECT_LE(e.problem.Stats.Solutions, 250);

  auto loaded = Load("bounded_decay", x, y, 2);
  Engine& held = *loaded;
  held.parameters.Value[1] = 2;
  held.parameters.Value[2] = 0.5;
  held.parameters.Fixed[1] = true;
  const SearchSummary h = LMSearch(held.search, {});
  EXPECT_EQ(h.Values[1], 2);
  EXPECT_GT(h.Values[2], 0.1);  // 2 e^(-kx) comes down towards the data
  EXPECT_LT(h.Values[2], 0.5);
}

// The engine's one call from a program of its own: no window, no workspace.
TEST(FitCall, FitsMisra1aAndStopsWhenTheObserverSaysSo) {
  auto e = From(kMisra1a, kMisra1a.start1);  // only its problem and table are used
  struct Watch : FitObserver {
    int improved = 0, stopAfter = 1 << 30;
    std::vector<std::string> notes;
    bool Continue() override { return improved < stopAfter; }
    void Improved(double, const T20Vector&) override { ++improved; }
    void Note(Severity, const std::string& text) override { notes.push_back(text); }
  } watch, impatient;
  const FitSummary s = Fit(FitOptions{}, e->problem, e->parameters, watch);
  EXPECT_EQ(s.Reason, SearchEnd::Converged) << s.Message;
  EXPECT_EQ(s.Values, e->parameters.Value);
  EXPECT_NEAR(s.Objective / kMisra1a.rss, 1, 1e-6);
  EXPECT_GT(watch.improved, 1);
  EXPECT_EQ(s.BriefReport().rfind("Optimize LM ended (converged) after ", 0), 0u) << s.BriefReport();
  EXPECT_EQ(watch.notes, std::vector<std::string>{s.Message});
  TStatistics stats;
  EXPECT_EQ(Statistics(e->problem, e->parameters, stats), "");
  EXPECT_EQ(stats.Observations, 14);

  impatient.stopAfter = 2;
  e->parameters.Value[1] = kMisra1a.start1[0];
  e->parameters.Value[2] = kMisra1a.start1[1];
  const FitSummary stopped = Fit(FitOptions{}, e->problem, e->parameters, impatient);
  EXPECT_EQ(stopped.Reason, SearchEnd::Stopped);
  EXPECT_GT(stopped.Objective, 2 * kMisra1a.rss);  // far from done
}

// A problem of tests/estimation/nist: its model's library, certified values, standard
// deviations and residual sum of squares, and its data (x1 [x2] y per line).
struct Published {
  std::string name, library;
  int params = 0, predictors = 1;
  bool logResponse = false;
  std::vector<double> values, deviations;
  double rss = 0;
  std::vector<std::vector<double>> rows;
};

Published Read(const std::filesystem::path& path) {
  // The libraries in the order of their NIST_MODEL ids.
  static const char* const kLibraries[] = {
      "exponential", "power", "logistic", "rational", "bounded_decay", "saturation_square",
      "saturation_root", "saturation_hyperbolic", "decay_over_linear", "three_exponentials",
      "two_gaussians", "rational_quadratic", "rational_cubic", "degradation", "double_exponential",
      "arctangent", "cycles", "reciprocal_exponential", "gaussian_peak", "generalized_logistic",
      "power_decay"};
  Published p;
  p.name = path.stem().string();
  std::ifstream in(path);
  std::string line, key;
  const auto numbers = [](std::istringstream& s) {
    std::vector<double> v;
    for (double x; s >> x;) v.push_back(x);
    return v;
  };
  while (std::getline(in, line)) {
    std::istringstream s(line);
    if (!(s >> key) || key[0] == '#') continue;
    if (key == "model") {
      int id = 0;
      s >> id;
      p.library = kLibraries[id - 1];
    } else if (key == "params") {
      s >> p.params;
    } else if (key == "predictors") {
      s >> p.predictors;
    } else if (key == "response") {
      p.logResponse = true;
    } else if (key == "certified") {
      p.values = numbers(s);
    } else if (key == "stddev") {
      p.deviations = numbers(s);
    } else if (key == "rss") {
      s >> p.rss;
    } else if (key == "data") {
      int n = 0;
      s >> n;
      for (int j = 0; j < n && std::getline(in, line); ++j) {
        std::istringstream row(line);
        p.rows.push_back(numbers(row));
      }
    }
  }
  return p;
}

// Every problem of the NIST StRD nonlinear regression set at its certified values: the
// standard deviations s sqrt(V_ii) agree with the certified ones to six digits, s from the
// certified sum of squares (the documented s^2 divides by N - 1 - p, NIST's by N - p). The
// objective agrees too, except Lanczos1's, whose printed values are too short for a sum of
// squares of 1e-25.
TEST(CertifiedStatistics, StandardDeviationsAgreeWithTheCertifiedOnesToSixDigits) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(NIST_DIR)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 27u);
  for (const auto& file : files) {
    const Published c = Read(file);
    ASSERT_EQ(c.values.size(), static_cast<std::size_t>(c.params)) << c.name;
    Engine e(c.library, c.params);
    for (const std::vector<double>& row : c.rows) {
      const double y = row.back();
      e.Measure(row[0], {c.logResponse ? std::log(y) : y});
      if (c.predictors == 2) {
        e.measured->XData.X[e.measured->YData.EventCount][2] = row[1];
        e.measured->XData.Defined[e.measured->YData.EventCount][2] = true;
      }
    }
    e.Ready();
    for (int i = 1; i <= c.params; ++i) {
      e.parameters.Value[i] = c.values[i - 1];
      e.parameters.MinBound[i] = -1e300;
      e.parameters.MaxBound[i] = 1e300;
    }
    ASSERT_EQ(Statistics(e.problem, e.parameters, e.state.Result.Statistics), "") << c.name;
    const TStatistics& stats = e.state.Result.Statistics;
    const int n = static_cast<int>(c.rows.size());
    ASSERT_EQ(stats.Observations, n) << c.name;
    const double certifiedS2 = c.rss / (n - c.params);
    const double ours = e.problem.Objective();
    if (c.name != "Lanczos1") {
      EXPECT_NEAR(ours / c.rss, 1, 1e-8) << c.name;
    }
    for (int i = 1; i <= c.params; ++i) {
      const double fromV = std::sqrt(certifiedS2 * e.problem.Work().NormalInverse[i][i]);
      EXPECT_NEAR(fromV / c.deviations[i - 1], 1, 1e-6) << c.name << " b" << i;
      const double reported = stats.StdError[i] / stats.TValue * std::sqrt(double(stats.Dof) / (n - c.params));
      if (c.name != "Lanczos1") {
        EXPECT_NEAR(reported / c.deviations[i - 1], 1, 1e-6) << c.name << " b" << i << " as reported";
      }
    }
  }
}

}  // namespace
}  // namespace zelk

namespace zelk {
namespace {

// On ln and log10 scales LM and Gauss-Newton reach the certified optimum, and the standard
// errors are the linear ones carried over by dp/du = p ln b (the delta method, exact here).
TEST(ScaledFit, LogarithmicScalesReachMisra1aWithErrorsOnTheirScale) {
  auto linear = From(kMisra1a, kMisra1a.start2);
  LMSearch(linear->search, {});
  TStatistics reference;
  ASSERT_EQ(Statistics(linear->problem, linear->parameters, reference), "");
  for (const TScale scale : {TScale::Ln, TScale::Log10})
    for (const auto search : {LMSearch, GaussNewtonSearch}) {
      auto e = From(kMisra1a, kMisra1a.start2);
      for (int i = 1; i <= 2; ++i) {
        e->parameters.Scale[i] = scale;
        e->parameters.MinBound[i] = 1e-9;
      }
      SearchOptions options;
      options.Calls = 500;
      const SearchSummary s = search(e->search, options);
      const std::string where = std::string(ScaleName(scale)) + (search == LMSearch ? " LM" : " GN");
      EXPECT_NEAR(s.Objective / kMisra1a.rss, 1, 1e-6) << where;
      TStatistics stats;
      ASSERT_EQ(Statistics(e->problem, e->parameters, stats), "") << where;
      const double base = scale == TScale::Ln ? 1.0 : std::log(10.0);
      for (int i = 1; i <= 2; ++i) {
        EXPECT_NEAR(e->parameters.Value[i] / kMisra1a.values[i - 1], 1, 1e-5) << where;
        EXPECT_NEAR(stats.StdError[i] * e->parameters.Value[i] * base / reference.StdError[i], 1,
                    1e-3)
            << where << " p" << i;
        EXPECT_NEAR(stats.Correlation[1][2], reference.Correlation[1][2], 1e-6) << where;
      }
    }
}

}  // namespace
}  // namespace zelk
