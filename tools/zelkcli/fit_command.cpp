#include "tools/zelkcli/fit_command.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <thread>

#include "base/format.h"
#include "base/preferences.h"
#include "estimation/objective.h"
#include "estimation/quantiles.h"
#include "model/operation.h"
#include "tools/zelkcli/csv_table.h"

namespace zelk {

namespace {

namespace fs = std::filesystem;

int Fail(const std::string& text) {
  std::cerr << "zelkcli: " << text << "\n";
  return 1;
}

struct FitOptions {
  std::string Model, Data, Search, Objective = "ss";
  std::string Values, Min, Max, Fixed;
  std::string Chart;  // picture of the fitted chart, by its extension
  std::pair<int, int> ChartSize{800, 600};
  long Calls = 2000;
  long Stall = 0;
  bool Json = false;
  bool Stats = false;
  bool FLimits = false;
  bool CallsGiven = false;  // --calls also cuts the F-limit sides and the design
  bool ResidualTest = false;
  std::string Design, Report;      // "N,MIN,MAX"; FILE.rtf
  std::string Params, SaveParams;  // parameter files to start from and to write
};

std::optional<FitOptions> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  FitOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string* text = a == "--values"        ? &o.Values
                        : a == "--min"         ? &o.Min
                        : a == "--max"         ? &o.Max
                        : a == "--fixed"       ? &o.Fixed
                        : a == "--search"      ? &o.Search
                        : a == "--objective"   ? &o.Objective
                        : a == "--chart"       ? &o.Chart
                        : a == "--design"      ? &o.Design
                        : a == "--report"      ? &o.Report
                        : a == "--params"      ? &o.Params
                        : a == "--save-params" ? &o.SaveParams
                                               : nullptr;
    if (a == "--json") {
      o.Json = true;
    } else if (a == "--stats") {
      o.Stats = true;
    } else if (a == "--flimits") {
      o.FLimits = true;
    } else if (a == "--residual-test") {
      o.ResidualTest = true;
    } else if (a == "--chart-size" && i + 1 < args.size()) {
      const std::string& size = args[++i];
      const auto x = size.find('x');
      const auto w = ParseInteger(size.substr(0, x));
      const auto h = x == std::string::npos ? std::nullopt : ParseInteger(size.substr(x + 1));
      if (!w || !h || *w < 20 || *h < 20 || *w > 20000 || *h > 20000) {
        error = "--chart-size takes WIDTHxHEIGHT in pixels, 20 to 20000, not \"" + size + "\"";
        return std::nullopt;
      }
      o.ChartSize = {*w, *h};
    } else if ((a == "--calls" || a == "--stall") && i + 1 < args.size()) {
      const auto n = ParseInteger(args[++i]);
      if (!n || *n < (a == "--calls" ? 1 : 0)) {
        error = a + " takes a count, not \"" + args[i] + "\"";
        return std::nullopt;
      }
      (a == "--calls" ? o.Calls : o.Stall) = *n;
      if (a == "--calls") o.CallsGiven = true;
    } else if (text && i + 1 < args.size()) {
      *text = args[++i];
    } else if (a.rfind("--", 0) != 0 && o.Model.empty()) {
      o.Model = a;
    } else if (a.rfind("--", 0) != 0 && o.Data.empty()) {
      o.Data = a;
    } else {
      error = "unexpected argument \"" + a + "\"";
      return std::nullopt;
    }
  }
  if (o.Model.empty() || o.Data.empty()) {
    error =
        "usage: zelkcli fit MODEL.mod DATA.zkd [--search optimize|lj|wl|gn] [--stats] [--flimits] "
        "[--values v1,v2,...] [--chart FILE.emf|.png|.svg] [--json]";
    return std::nullopt;
  }
  if (!o.Search.empty() && o.Search != "optimize" && o.Search != "lj" && o.Search != "wl" &&
      o.Search != "gn") {
    error = "--search is optimize, lj, wl or gn, not \"" + o.Search + "\"";
    return std::nullopt;
  }
  return o;
}

// "v1,v2,..." into slots 1.. of `out`; false with a reason for anything else.
bool ParseList(const std::string& option, const std::string& text, std::vector<double>& out,
               std::string& error) {
  std::stringstream list(text);
  for (std::string item; std::getline(list, item, ',');) {
    const auto v = ParseNumber(item);
    if (!v) {
      error = option + ": \"" + item + "\" is not a number";
      return false;
    }
    out.push_back(*v);
  }
  if (out.size() > static_cast<std::size_t>(kMaxParams)) {
    error = option + ": at most 20 parameters";
    return false;
  }
  return true;
}

// The compiler: the preferences' path when it names a file, else pasbuild beside us.
std::string FindCompiler(const std::string& fromPreferences) {
  std::error_code ec;
  if (!fromPreferences.empty() && fs::is_regular_file(fromPreferences, ec)) return fromPreferences;
  const fs::path self = fs::canonical("/proc/self/exe", ec).parent_path();
  for (const fs::path& candidate :
       {self / "pasbuild", self.parent_path() / "pasbuild" / "pasbuild"})
    if (fs::is_regular_file(candidate, ec)) return candidate.string();
  return {};
}

// Opens data and model with the window's code, then translates, compiles and loads.
int PrepareModel(Workspace& ws, const FitOptions& o) {
  TPreferences prefs;
  LoadPreferences(PreferencesPath(), prefs);
  ws.Prefs = prefs.General;
  // Charts in the user's own series styles and captions, as the window draws them.
  ws.Preferences.Series = prefs.Series;
  ws.Preferences.Descriptions = prefs.Descriptions;
  ws.Prefs.CompilerPath = FindCompiler(prefs.General.CompilerPath);
  if (ws.Prefs.CompilerPath.empty())
    return Fail("no compiler: set its path in the preferences or install pasbuild beside zelkcli");
  ws.Compiler().UseTerminal = false;
  ws.Prefs.SourcePreview = false;

  // The data first: its counts would otherwise mark the model modified after it was read.
  if (!ws.ReadAnyDataFile(o.Data)) return 1;
  ws.SetDataFileName(fs::absolute(o.Data).string());
  ws.SetDataSaved(true);
  const std::string modelPath = fs::absolute(o.Model).string();
  if (!ws.ReadModelFile(modelPath)) return Fail("cannot read the model file " + o.Model);
  if (!ws.ReadDimensionFile(CompanionName(modelPath)))
    return Fail("cannot read the dimension file " + CompanionName(o.Model));
  ws.ModelFileName = modelPath;
  ws.SetModelSaved(true);

  if (!ws.Compiler().TranslateModel())
    return Fail(ws.Compiler().SourceIsC ? "C models cannot be compiled"
                                        : "the model text was not translated");
  if (!ws.Compiler().StartCompile(ws.Compiler().PasFilePath())) return 1;
  for (int i = 0; i < 3000 && ws.Compiler().TimerEnabled; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ws.CompileTimerTimer();
  }
  if (ws.Compiler().TimerEnabled) return Fail("the compiler did not finish within five minutes");
  if (ws.Model.LibFileName.empty()) {
    for (const std::string& line : ws.Log.Lines()) std::cerr << line << "\n";
    return Fail("the model was not compiled");
  }
  return 0;
}

int SetParameters(Workspace& ws, const FitOptions& o) {
  std::vector<double> values, mins, maxs;
  std::string error;
  if (!ParseList("--values", o.Values, values, error) || !ParseList("--min", o.Min, mins, error) ||
      !ParseList("--max", o.Max, maxs, error))
    return Fail(error);
  for (int i = 1; i <= kMaxParams; ++i)
    ws.SetParameterValue(i, i <= static_cast<int>(values.size()) ? values[i - 1] : 1.0);
  for (std::size_t i = 0; i < mins.size(); ++i)
    SetBound(ws.Parameters, static_cast<int>(i) + 1, TBound::Min, mins[i]);
  for (std::size_t i = 0; i < maxs.size(); ++i)
    SetBound(ws.Parameters, static_cast<int>(i) + 1, TBound::Max, maxs[i]);
  std::stringstream fixed(o.Fixed);
  for (std::string item; std::getline(fixed, item, ',');) {
    const auto i = ParseInteger(item);
    if (!i || *i < 1 || *i > ws.Parameters.Count)
      return Fail("--fixed: \"" + item + "\" is no parameter number");
    ws.Parameters.Fixed[*i] = true;
  }
  return 0;
}

std::string JsonNumber(double v) { return std::isfinite(v) ? ExactText(v) : "null"; }

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace

int Fit(Workspace& ws, ConsoleUi& ui, const std::vector<std::string>& args) {
  std::string error;
  const auto options = ParseOptions(args, error);
  if (!options) return Fail(error);
  const FitOptions& o = *options;
  TObjectiveKind kind = TObjectiveKind::SumOfSquares;
  if (o.Objective == "box-draper")
    kind = TObjectiveKind::BoxDraper;
  else if (o.Objective == "weighted")
    kind = TObjectiveKind::WeightedSS;
  else if (o.Objective != "ss")
    return Fail("--objective is ss, box-draper or weighted, not \"" + o.Objective + "\"");

  if (const int failed = PrepareModel(ws, o)) return failed;
  if (const int failed = SetParameters(ws, o)) return failed;
  // A parameter file replaces the whole record: values, bounds, fixed marks and all.
  if (!o.Params.empty() && !ws.ImportParameterFile(o.Params)) return 1;
  ws.Estimation().SetObjectiveFunc(kind);
  SearchSummary summary;
  double fitSeconds = 0;  // the search alone, without compiling or reporting
  std::int64_t fitSolutions = 0;
  if (!o.Search.empty()) {
    const auto start = std::chrono::steady_clock::now();
    const std::int64_t solutionsBefore = ws.Stats.Solutions;
    SearchOptions search;
    search.Calls = o.Calls;
    search.Stall = o.Stall;
    EstimationSession& estimation = ws.Estimation();
    summary = o.Search == "gn"   ? estimation.OptimizeGN(search)
              : o.Search == "lj" ? estimation.OptimizeLJ(search)
              : o.Search == "wl" ? estimation.OptimizeWL(search)
                                 : estimation.Optimize(search);
    fitSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fitSolutions = ws.Stats.Solutions - solutionsBefore;
  }
  // The search's counters, before the F-limit searches restart them.
  const std::uint32_t totalCalls = ws.Estimation().TotalCalls;
  const std::uint32_t successfulCalls = ws.Estimation().SuccessfulCalls;

  // Standard errors at the best point; a failure has said why and fails the run. They go into
  // the record as "Standard Errors" puts them there: the report and a saved parameter file
  // read them from it.
  if (o.Stats && !ws.Estimation().ComputeStdErrors()) return 1;
  const TStatistics& stats = ws.Estimation().Statistics;
  if (o.Stats) ws.Parameters.StdError = stats.StdError;
  // F-test limits around the best point, each side ended by its own rules or by --calls.
  std::vector<SearchSummary> sides;
  SearchOptions after;  // the searches after the fit end by their own rules unless cut
  if (o.CallsGiven) after.Calls = o.Calls;
  if (o.FLimits && !ws.Estimation().AllFLimits(after, &sides)) return 1;
  if (o.ResidualTest) {
    ws.ResidualAction();
    if (ws.ResidualGrid.empty()) return 1;  // it has said why
  }
  if (!o.Design.empty()) {
    std::vector<double> design;
    if (!ParseList("--design", o.Design, design, error) || design.size() != 3 ||
        design[0] != std::floor(design[0]) || design[0] < 1 || design[0] > kMaxDesignPoints)
      return Fail(error.empty()
                      ? "--design takes N,MIN,MAX with N from 1 to 20, not \"" + o.Design + "\""
                      : error);
    if (!ws.RunDesign(static_cast<int>(design[0]), design[1], design[2], after)) return 1;
  }
  if (!o.SaveParams.empty() && !ws.WriteParameterFile(o.SaveParams)) return 1;
  if (!o.Report.empty()) {
    ws.BuildReport();
    std::string reason;
    if (!Workspace::WriteReport(o.Report, ws.Report, reason))
      return Fail("cannot write the report " + o.Report + ": " + reason);
  }

  // The values reported are those of the best point, solved once more.
  const SolveResult solved = ws.SolveModel(ws.Parameters.Value, ws.MeasuredData);
  const int result = ResultCode(solved);
  const double objective = ws.Estimation().EvaluateObjective();
  if (!std::isfinite(objective))
    return Fail("the objective is not a finite number (" + ExactText(objective) +
                "): the model or the data give values that are not numbers");
  if (!o.Chart.empty()) {
    ui.ChartSize = o.ChartSize;
    if (!ws.Chart().ExportChartMetafile(o.Chart)) return 1;
  }
  const TYData& y = ws.MeasuredData.YData;
  const TParameterRecord& p = ws.Parameters;
  std::ostringstream out;
  if (o.Json) {
    out << "{\"objective\": " << JsonNumber(objective) << ", \"result\": " << result
        << ", \"outcome\": " << JsonString(ResultName(solved));
    if (!o.Search.empty())
      out << ", \"search\": " << JsonString(o.Search)
          << ", \"stop\": " << JsonString(SearchEndName(summary.Reason))
          << ", \"trials\": " << summary.Trials << ", \"total_calls\": " << totalCalls
          << ", \"successful_calls\": " << successfulCalls
          << ", \"failed_calls\": " << summary.FailedCalls
          << ", \"abandoned_calls\": " << summary.AbandonedCalls
          << ", \"fit_seconds\": " << JsonNumber(fitSeconds)
          << ", \"fit_solutions\": " << fitSolutions;
    if (o.Stats) {
      out << ", \"observations\": " << stats.Observations << ", \"dof\": " << stats.Dof
          << ", \"t_value\": " << JsonNumber(stats.TValue) << ", \"std_errors\": [";
      for (int i = 1; i <= p.Count; ++i)
        out << (i > 1 ? ", " : "") << JsonNumber(stats.StdError[i]);
      // std_errors are 95 % half-widths t s sqrt(Vii); these are s sqrt(Vii) alone.
      out << "], \"standard_errors\": [";
      for (int i = 1; i <= p.Count; ++i)
        out << (i > 1 ? ", " : "") << JsonNumber(stats.StdError[i] / stats.TValue);
      out << "], \"correlations\": [";
      for (int i = 1; i <= p.Count; ++i) {
        out << (i > 1 ? ", [" : "[");
        for (int k = 1; k <= p.Count; ++k)
          out << (k > 1 ? ", " : "") << JsonNumber(stats.Correlation[i][k]);
        out << "]";
      }
      out << "], \"covariance_determinant\": " << JsonNumber(stats.CorrelationDeterminant);
    }
    if (o.FLimits) {
      const EstimationSession& e = ws.Estimation();
      out << ", \"limit_objective\": " << JsonNumber(e.LimitObjective)
          << ", \"f_value\": " << JsonNumber(e.LimitF) << ", \"lo_flimits\": [";
      for (int i = 1; i <= p.Count; ++i) out << (i > 1 ? ", " : "") << JsonNumber(p.LoFLimit[i]);
      out << "], \"hi_flimits\": [";
      for (int i = 1; i <= p.Count; ++i) out << (i > 1 ? ", " : "") << JsonNumber(p.HiFLimit[i]);
      out << "], \"flimit_stops\": [";
      for (std::size_t i = 0; i < sides.size(); ++i)
        out << (i ? ", " : "") << JsonString(SearchEndName(sides[i].Reason));
      out << "]";
    }
    if (o.ResidualTest) {
      const TResidualTest& t = ws.ResidualTest;
      const auto n = static_cast<std::uint16_t>(std::min(t.EventCount, 65535));
      out << ", \"d_statistics\": [";
      for (int r = 1; r <= t.DepCount; ++r)
        out << (r > 1 ? ", " : "") << (t.DDefined[r] ? JsonNumber(t.DStat[r]) : "null");
      out << "], \"d_crit_negative\": " << JsonNumber(static_cast<double>(DCritNegative(n)))
          << ", \"d_crit_positive\": " << JsonNumber(static_cast<double>(DCritPositive(n)))
          << ", \"autocorrelation\": [";
      for (int r = 1; r <= t.DepCount; ++r)
        out << (r > 1 ? ", " : "") << JsonString(ws.ResidualGrid.at(r)[4]);
      out << "]";
    }
    if (!o.Design.empty()) {
      out << ", \"design_points\": [";
      for (int i = 1; i <= ws.Chart().DesignPointCount; ++i)
        out << (i > 1 ? ", " : "") << JsonNumber(ws.Chart().DesignPoints[i]);
      out << "], \"design_determinant\": " << JsonNumber(ws.Estimation().DesignBest)
          << ", \"design_iterations\": " << ws.LastDesign.Trials
          << ", \"design_stop\": " << JsonString(SearchEndName(ws.LastDesign.Reason));
    }
    out << ", \"values\": [";
    for (int i = 1; i <= p.Count; ++i) out << (i > 1 ? ", " : "") << JsonNumber(p.Value[i]);
    out << "], \"computed\": [";
    for (int j = 1; j <= y.EventCount; ++j) {
      out << (j > 1 ? ", [" : "[");
      for (int d = 1; d <= y.DepCount; ++d) out << (d > 1 ? ", " : "") << JsonNumber(y.C[j][d]);
      out << "]";
    }
    out << "], \"messages\": [";
    bool first = true;
    for (const std::string& line : ws.Log.Lines()) {
      out << (first ? "" : ", ") << JsonString(line);
      first = false;
    }
    out << "]}\n";
  } else {
    const char* names[] = {"sum of squares", "Box-Draper", "weighted sum of squares"};
    if (!o.Search.empty())
      out << "Search " << o.Search << " " << summary.BriefReport() << "; model calls total "
          << totalCalls << ", successful " << successfulCalls << "\n";
    out << "Objective (" << names[static_cast<int>(kind)] << "): " << ExactText(objective)
        << "\nSolver result: " << result << " (" << ResultName(solved) << ")\nParameters:";
    for (int i = 1; i <= p.Count; ++i) out << " " << FormatSignificant(p.Value[i], 8);
    if (o.Stats) {
      out << "\nStandard errors (95 %, t = " << FormatSignificant(stats.TValue, 4) << ", "
          << stats.Dof << " degrees of freedom):";
      for (int i = 1; i <= p.Count; ++i) out << " " << FormatSignificant(stats.StdError[i], 6);
    }
    if (o.FLimits) {
      out << "\nF-test limits (threshold " << FormatSignificant(ws.Estimation().LimitObjective, 12)
          << ", F = " << FormatSignificant(ws.Estimation().LimitF, 4) << "):";
      for (int i = 1; i <= p.Count; ++i) {
        out << " [" << FormatSignificant(p.LoFLimit[i], 6) << ", "
            << FormatSignificant(p.HiFLimit[i], 6) << "]";
        const std::size_t lo = 2 * (i - 1), hi = lo + 1;
        if (hi < sides.size())
          out << " (" << SearchEndName(sides[lo].Reason) << "/" << SearchEndName(sides[hi].Reason)
              << ")";
      }
    }
    if (o.ResidualTest) {
      out << "\nAutocorrelation test (D, verdict):";
      for (std::size_t r = 1; r < ws.ResidualGrid.size(); ++r)
        out << " " << ws.ResidualGrid[r][1] << " " << ws.ResidualGrid[r][4] << ";";
      out << " critical values " << ws.ResidualGrid.at(1)[2] << " and " << ws.ResidualGrid.at(1)[3];
    }
    if (!o.Design.empty()) {
      out << "\nDesigned points (" << SearchEndName(ws.LastDesign.Reason) << " after "
          << ws.LastDesign.Trials << " sets, determinant "
          << FormatGeneral(ws.Estimation().DesignBest, 8) << "):";
      for (int i = 1; i <= ws.Chart().DesignPointCount; ++i)
        out << " " << FormatSignificant(ws.Chart().DesignPoints[i], 6);
    }
    out << "\n\nEvent";
    for (int d = 1; d <= y.DepCount; ++d) out << "\tC[" << d << "]";
    out << "\n";
    for (int j = 1; j <= y.EventCount; ++j) {
      out << j << ".";
      for (int d = 1; d <= y.DepCount; ++d) out << "\t" << ExactText(y.C[j][d]);
      out << "\n";
    }
  }
  std::cout << out.str();
  return result == 0 ? 0 : 1;
}

}  // namespace zelk
