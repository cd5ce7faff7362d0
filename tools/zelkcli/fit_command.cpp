#include "tools/zelkcli/fit_command.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "base/data_file.h"
#include "base/design_dialog.h"
#include "base/file_names.h"
#include "base/format.h"
#include "base/messages.h"
#include "base/preferences.h"
#include "estimation/dimension_file.h"
#include "estimation/fit.h"
#include "estimation/objective.h"
#include "estimation/parameter_file.h"
#include "estimation/quantiles.h"
#include "estimation/residual_test.h"
#include "estimation/scales.h"
#include "model/model_build.h"
#include "model/model_names.h"
#include "estimation/import/project_import.h"
#include "estimation/multi_start.h"
#include "tools/zelkcli/starts_json.h"
#include "model/model_language.h"
#include "model/message_log.h"
#include "presentation/chart_data.h"
#include "presentation/emf_writer.h"
#include "presentation/fit_chart.h"
#include "presentation/report.h"
#include "presentation/rich_text.h"
#include "presentation/visibility_tree.h"
#include "base/csv_table.h"
#include "tools/zelkcli/data_sets.h"
#include "tools/zelkcli/pictures.h"

namespace zelk {

namespace {

namespace fs = std::filesystem;
// Fields stay in the order they are written.
using Json = nlohmann::ordered_json;

struct CliOptions {
  std::string Model, Search, Objective;  // no objective given: the sum of squares
  std::string Petab;  // a PEtab problem imported in place of MODEL and DATA
  // Multi-start: local fits from Starts points (start 1 the values, the others a Latin
  // hypercube from Seed), Jobs at a time (0: every core), the Shard "i/n" of them only,
  // StartSeconds at most each (0: no limit).
  long Starts = 0, Seed = 1, Jobs = 0, StartSeconds = 0;
  std::string Shard;
  std::vector<std::string> Data;
  std::string Values, Min, Max, Fixed, Scale;
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
  // The integrator and the Jacobian; empty or unset: the preferences' own.
  std::string Integrator, Jacobian;
  std::optional<double> RelTol, AbsTol;
  std::optional<double> FTol, XTol, GTol;  // LM's; unset: the preferences' own
};

// One option: its argument's shape in the usage (none for a switch) and what it sets; false
// with a reason for a value it does not take.
struct OptionSpec {
  const char* Name;
  const char* Argument;
  std::function<bool(CliOptions&, const std::string&, std::string&)> Apply;
};

auto Text(std::string CliOptions::*field) {
  return [field](CliOptions& o, const std::string& v, std::string&) {
    o.*field = v;
    return true;
  };
}

auto Switch(bool CliOptions::*field) {
  return [field](CliOptions& o, const std::string&, std::string&) {
    o.*field = true;
    return true;
  };
}

auto OneOf(std::string CliOptions::*field, const char* name, std::vector<std::string> allowed,
           const char* listed) {
  return [=](CliOptions& o, const std::string& v, std::string& error) {
    if (std::find(allowed.begin(), allowed.end(), v) == allowed.end()) {
      error = std::string(name) + " is " + listed + ", not \"" + v + "\"";
      return false;
    }
    o.*field = v;
    return true;
  };
}

auto Tolerance(std::optional<double> CliOptions::*field, const char* name, bool lm = false) {
  const double least = lm ? kMinLMTolerance : kMinTolerance, most = lm ? kMaxLMTolerance : kMaxTolerance;
  const char* range = lm ? "from 1e-16 to 0.1" : "from 1e-14 to 0.01";
  return [=](CliOptions& o, const std::string& v, std::string& error) {
    const auto t = ParseNumber(v);
    if (!t || !(*t >= least && *t <= most)) {
      error = std::string(name) + " takes a tolerance " + range + ", not \"" + v + "\"";
      return false;
    }
    o.*field = *t;
    return true;
  };
}

auto Count(long CliOptions::*field, const char* name, long least) {
  return [=](CliOptions& o, const std::string& v, std::string& error) {
    const auto n = ParseInteger(v);
    if (!n || *n < least) {
      error = std::string(name) + " takes a count, not \"" + v + "\"";
      return false;
    }
    o.*field = *n;
    return true;
  };
}

// The searches' keys joined by `separator`, the last by `last`.
std::string SearchKeys(const std::string& separator, const std::string& last) {
  std::string joined;
  const auto& searches = Searches();
  for (std::size_t i = 0; i < searches.size(); ++i)
    joined += (i == 0 ? "" : i + 1 == searches.size() ? last : separator) + searches[i].Key;
  return joined;
}

const std::vector<OptionSpec>& Options() {
  static const std::string searchArgument = "none|" + SearchKeys("|", "|");
  static const std::string searchList = "none, " + SearchKeys(", ", " or ");
  static const std::vector<std::string> searchKeys = [] {
    std::vector<std::string> keys = {"none"};  // only evaluates the start
    for (const SearchKind& kind : Searches()) keys.push_back(kind.Key);
    return keys;
  }();
  static const std::vector<OptionSpec> options = {
      {"--data", "DATA...", nullptr},  // takes every argument up to the next option
      {"--search", searchArgument.c_str(),
       OneOf(&CliOptions::Search, "--search", searchKeys, searchList.c_str())},
      {"--petab", "PROBLEM.yaml", Text(&CliOptions::Petab)},
      {"--starts", "N", Count(&CliOptions::Starts, "--starts", 1)},
      {"--seed", "S", Count(&CliOptions::Seed, "--seed", 0)},
      {"--jobs", "N", Count(&CliOptions::Jobs, "--jobs", 1)},
      {"--shard", "I/N", Text(&CliOptions::Shard)},
      {"--start-seconds", "S", Count(&CliOptions::StartSeconds, "--start-seconds", 1)},
      {"--objective", "ss|box-draper|weighted|likelihood",
       OneOf(&CliOptions::Objective, "--objective", {"ss", "box-draper", "weighted", "likelihood"},
             "ss, box-draper, weighted or likelihood")},
      {"--values", "v1,...", Text(&CliOptions::Values)},
      {"--min", "v1,...", Text(&CliOptions::Min)},
      {"--max", "v1,...", Text(&CliOptions::Max)},
      {"--fixed", "i,j,...", Text(&CliOptions::Fixed)},
      {"--scale", "linear|ln|log10|s1,...", Text(&CliOptions::Scale)},
      {"--calls", "N",
       [](CliOptions& o, const std::string& v, std::string& error) {
         o.CallsGiven = true;
         return Count(&CliOptions::Calls, "--calls", 1)(o, v, error);
       }},
      {"--stall", "N", Count(&CliOptions::Stall, "--stall", 0)},
      {"--integrator", "merson|bdf",
       OneOf(&CliOptions::Integrator, "--integrator", {"merson", "bdf"}, "merson or bdf")},
      {"--rtol", "R", Tolerance(&CliOptions::RelTol, "--rtol")},
      {"--atol", "A", Tolerance(&CliOptions::AbsTol, "--atol")},
      {"--ftol", "F", Tolerance(&CliOptions::FTol, "--ftol", true)},
      {"--xtol", "X", Tolerance(&CliOptions::XTol, "--xtol", true)},
      {"--gtol", "G", Tolerance(&CliOptions::GTol, "--gtol", true)},
      {"--jacobian", "differences|sensitivities",
       OneOf(&CliOptions::Jacobian, "--jacobian", {"differences", "sensitivities"},
             "differences or sensitivities")},
      {"--stats", nullptr, Switch(&CliOptions::Stats)},
      {"--flimits", nullptr, Switch(&CliOptions::FLimits)},
      {"--residual-test", nullptr, Switch(&CliOptions::ResidualTest)},
      {"--design", "N,MIN,MAX", Text(&CliOptions::Design)},
      {"--report", "FILE.rtf", Text(&CliOptions::Report)},
      {"--params", "FILE.par", Text(&CliOptions::Params)},
      {"--save-params", "FILE.par", Text(&CliOptions::SaveParams)},
      {"--json", nullptr, Switch(&CliOptions::Json)},
      {"--chart", "FILE.emf|FILE.png|FILE.svg", Text(&CliOptions::Chart)},
      {"--chart-size", "WxH",
       [](CliOptions& o, const std::string& size, std::string& error) {
         const auto x = size.find('x');
         const auto w = ParseInteger(size.substr(0, x));
         const auto h = x == std::string::npos ? std::nullopt : ParseInteger(size.substr(x + 1));
         if (!w || !h || *w < 20 || *h < 20 || *w > 20000 || *h > 20000) {
           error = "--chart-size takes WIDTHxHEIGHT in pixels, 20 to 20000, not \"" + size + "\"";
           return false;
         }
         o.ChartSize = {static_cast<int>(*w), static_cast<int>(*h)};
         return true;
       }},
  };
  return options;
}

std::optional<CliOptions> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  CliOptions o;
  const auto isOption = [](const std::string& a) { return a.rfind("--", 0) == 0; };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!isOption(a)) {
      (o.Model.empty() ? o.Model : o.Data.emplace_back()) = a;
      continue;
    }
    const auto& options = Options();
    const auto spec = std::find_if(options.begin(), options.end(),
                                   [&](const OptionSpec& s) { return a == s.Name; });
    if (spec == options.end()) {
      error = "unexpected argument \"" + a + "\"\n" + FitUsage();
      return std::nullopt;
    }
    if (spec->Argument && (i + 1 >= args.size() || isOption(args[i + 1]))) {
      error = a + " takes " + spec->Argument + "\n" + FitUsage();
      return std::nullopt;
    }
    if (!spec->Apply) {
      while (i + 1 < args.size() && !isOption(args[i + 1])) o.Data.push_back(args[++i]);
    } else if (!spec->Apply(o, spec->Argument ? args[++i] : std::string(), error)) {
      return std::nullopt;
    }
  }
  if (o.Search == "none") o.Search.clear();
  if (!o.Petab.empty() && (!o.Model.empty() || !o.Data.empty())) {
    error = "--petab takes the place of MODEL and DATA\n" + FitUsage();
    return std::nullopt;
  }
  if (o.Petab.empty() && (o.Model.empty() || o.Data.empty())) {
    error = FitUsage();
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
  return true;
}

// "v1,v2,name=v,..." into parameter slots: a plain value takes the next slot from 1, a
// named one its parameter's; false with a reason for anything else.
bool ParseParameterList(const std::string& option, const std::string& text,
                        const ModelNames& names, int count, std::map<int, double>& out,
                        std::string& error) {
  std::stringstream list(text);
  int next = 1;
  for (std::string item; std::getline(list, item, ',');) {
    const auto equals = item.find('=');
    int slot = next++;
    if (equals != std::string::npos) {
      const std::string name = item.substr(0, equals);
      slot = ParameterIndex(names, name);
      if (slot == 0) {
        error = option + ": no parameter is named \"" + name + "\"";
        return false;
      }
      item = item.substr(equals + 1);
    }
    const auto v = ParseNumber(item);
    if (!v) {
      error = option + ": \"" + item + "\" is not a number";
      return false;
    }
    if (slot > count) {
      error = option + ": the model has " + std::to_string(count) + " parameters";
      return false;
    }
    out[slot] = *v;
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

// Built libraries live here, one per model text, dimensions and compiler.
fs::path CacheFolder() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg && *xdg == '/') return fs::path(xdg) / "zelk" / "models";
  const char* home = std::getenv("HOME");
  if (home && *home == '/') return fs::path(home) / ".cache" / "zelk" / "models";
  return fs::temp_directory_path() / ("zelk-models-" + std::to_string(::getuid()));
}

// FNV-1a over each part and its length, as 16 hex digits.
std::string Hash(const std::vector<std::string>& parts) {
  std::uint64_t h = 14695981039346656037ull;
  const auto add = [&h](const std::string& bytes) {
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  };
  for (const std::string& part : parts) {
    add(part);
    add(std::to_string(part.size()) + ";");
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
  return text;
}

// A file's size and time of change: a rebuilt compiler or runtime unit is a new key.
std::string Stamp(const fs::path& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec) return "none";
  const auto time = fs::last_write_time(path, ec).time_since_epoch().count();
  return std::to_string(size) + "@" + std::to_string(time);
}

std::string ReadText(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  ReadWholeFile(path, bytes, error);
  return std::string(bytes.begin(), bytes.end());
}

// What the engine says during a fit: notes join the message pane's lines, anything else is
// told at once and kept as the latest word.
class CliObserver : public FitObserver {
 public:
  explicit CliObserver(MessageLog& log) : log_(log) {}
  void Note(Severity severity, const std::string& text) override {
    if (severity == Severity::Note) {
      log_.AddMessage(text);
      return;
    }
    Say(text);
  }
  void Say(const std::string& text) {
    Last = OneLine(text);
    if (Quiet) return;
    Tell(text);
  }
  MessageSink Sink() {
    return [this](Severity severity, const std::string& text) { Note(severity, text); };
  }
  std::string Last;    // the latest message, told or not
  bool Quiet = false;  // keeps messages untold, as a library that may be rebuilt says

 private:
  MessageLog& log_;
};

// One data set's fit with a model, data set, parameter table and fit problem of its own. A
// failure is printed at once and kept as the reason of the data set.
class DataSetFit {
 public:
  DataSetFit(const CliOptions& o, const std::string& data) : o_(o), data_(data) {
    problem_.Say = observer_.Sink();
  }

  // 0 when the data set was fitted; `modelFailed` tells a failure of the model from one of
  // the data set.
  int Run(bool& modelFailed);
  Json Line;         // the JSON line, without the data set's name
  std::string Text;  // the text report
  std::string Reason;

 private:
  std::string interrupted_;  // why a multi-start ended before its starts did
  int Fail(const std::string& text) {
    Tell(text);
    Reason = OneLine(text);
    return 1;
  }
  // Fails with what the engine has just said.
  int Failed() {
    Reason = observer_.Last.empty() ? "failed" : observer_.Last;
    return 1;
  }
  int ReadData();
  int PrepareModel();
  int ReadDimensions(const std::string& path);
  int LoadLibrary(const std::string& modelPath);
  int Compile(const std::string& modelPath, const fs::path& folder, const fs::path& library);
  ModelCounts Counts() const;
  int SetParameters();
  int SetScales();
  int Compute();
  // The starts of --starts in child processes; the best one's values into the table.
  int RunStarts();
  FitOptions SearchOptions() const;
  std::vector<StartResult> starts_;
  FitOptions Options(long calls) const;
  std::string WriteChart(const std::string& path);

  const CliOptions& o_;
  const std::string& data_;
  TZelkPrefs prefs_;
  TPreferences look_;  // the chart's series styles and captions, as the window draws them
  std::string modelText_;
  ModelNames names_;  // of modelText_
  TModel model_;
  std::unique_ptr<TDataSet> measured_ = std::make_unique<TDataSet>();
  std::unique_ptr<TDataSet> chart_ = std::make_unique<TDataSet>();
  MessageLog log_{[] {}};
  CliObserver observer_{log_};
  FitProblem problem_{model_, *measured_, prefs_, log_};
  TParameterRecord table_ = StartParameterRecord();
  FitResult record_;  // what the report reads
};

int DataSetFit::ReadData() {
  const std::string error = ReadDataSet(data_, *measured_);
  return error.empty() ? 0 : Fail(error);
}

// Counts read before a short file ends stay applied, as the window applies them.
int DataSetFit::ReadDimensions(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::uint64_t size = 0;
  std::string error;
  std::vector<std::int32_t> counts;
  if (ReadFileHead(path, kDimensionFileSize, bytes, size, error)) counts = DecodeDimensionFile(bytes);
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const Dimension d = kDimensionFileOrder[i];
    const int n = CountWithin(d, counts[i]);
    switch (d) {
      case Dimension::AlgEq: model_.AlgEqCount = n; break;
      case Dimension::DifEq: model_.DifEqCount = n; break;
      case Dimension::Param: Resize(table_, n); break;
      case Dimension::Indep: measured_->XData.IndepCount = n; break;
      case Dimension::Dep: measured_->YData.DepCount = n; break;
      case Dimension::Events: break;
    }
  }
  return counts.size() == kDimensionFileOrder.size()
             ? 0
             : Fail("cannot read the dimension file " + CompanionName(o_.Model));
}

// Reads the model and its dimensions, then loads its library, compiled when needed.
int DataSetFit::PrepareModel() {
  TPreferences prefs;
  LoadPreferences(PreferencesPath(), prefs);
  prefs_ = prefs.General;
  look_.Series = prefs.Series;
  look_.Descriptions = prefs.Descriptions;
  look_.General.LogYAxis = prefs.General.LogYAxis;
  look_.General.ChartLegend = prefs.General.ChartLegend;
  prefs_.CompilerPath = FindCompiler(prefs.General.CompilerPath);
  if (prefs_.CompilerPath.empty())
    return Fail("no compiler: set its path in the preferences or install pasbuild beside zelkcli");
  if (!o_.Integrator.empty()) prefs_.Integrator = o_.Integrator == "bdf" ? kBdf : kMerson;
  if (o_.RelTol) prefs_.RelTolerance = *o_.RelTol;
  if (o_.AbsTol) prefs_.AbsTolerance = *o_.AbsTol;
  if (!o_.Jacobian.empty()) prefs_.SensitivityJacobian = o_.Jacobian == "sensitivities";

  const std::string modelPath = fs::absolute(o_.Model).string();
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(modelPath, bytes, error))
    return Fail("cannot read the model file " + o_.Model);
  modelText_ = ModelTextFromFile(std::string(bytes.begin(), bytes.end()));
  names_ = NamesOf(modelText_);
  if (ReadDimensions(CompanionName(modelPath))) return 1;
  // The measured ranges, the experiments and the chart's rows follow the final counts.
  RefreshChartData(*measured_, *chart_, model_.DifEqCount);
  return LoadLibrary(modelPath);
}

// The library of this model text, dimensions and compiler from the cache, built and
// published there first when it is not.
int DataSetFit::LoadLibrary(const std::string& modelPath) {
  const std::string name = FileNamePart(modelPath);
  const std::string base = name.substr(0, name.size() >= 4 ? name.size() - 4 : 0);
  const fs::path compiler = prefs_.CompilerPath;
  const std::string key =
      Hash({"zelk model library 1", modelText_, base, ReadText(CompanionName(modelPath)),
            compiler.string(), Stamp(compiler), Stamp(compiler.parent_path() / "zelkrt.pas")});
  const fs::path cache = CacheFolder();
  std::error_code ec;
  fs::create_directories(cache, ec);
  if (ec)
    return Fail("cannot make the folder of compiled models " + cache.string() + ": " +
                ec.message());
  const fs::path library = cache / (LibraryIdentifier(base) + "-" + key + ".dll");
  if (fs::is_regular_file(library, ec)) {
    // A library that does not load is built again over it, without a word.
    observer_.Quiet = true;
    const bool loaded = model_.LoadModelLibrary(library.string(), problem_.Say);
    if (!loaded) model_.UnloadModelLibrary(problem_.Say);
    observer_.Quiet = false;
    observer_.Last.clear();
    if (loaded) {
      for (const std::string& warning : IndexWarnings(modelText_, Counts())) log_.AddMessage(warning);
      log_.AddMessage(FillPlaceholders(msg::kModelLoadedFromCache, {name}));
      return 0;
    }
  }
  // The compile runs in a folder of its own: the script, marker, log and source of runs
  // side by side never meet, and nothing is left beside the model.
  std::string folder = (cache / (LibraryIdentifier(base) + "-" + key + ".XXXXXX")).string();
  if (!::mkdtemp(folder.data()))
    return Fail("cannot make a folder to compile in under " + cache.string());
  const int status = Compile(modelPath, folder, library);
  fs::remove_all(folder, ec);
  return status;
}

ModelCounts DataSetFit::Counts() const {
  return {model_.DifEqCount, measured_->YData.DepCount, table_.Count, measured_->XData.IndepCount};
}

int DataSetFit::Compile(const std::string& modelPath, const fs::path& folder,
                        const fs::path& library) {
  const std::string name = FileNamePart(modelPath);
  const ModelBuild build =
      BuildModelLibrary(modelText_, name, folder.string(), prefs_.CompilerPath, Counts());
  if (build.Library.empty()) {
    // The compiler's own lines first: the message after them points there.
    for (const std::string& line : build.Messages) std::cerr << line << "\n";
    return Fail(build.Error);
  }
  for (const std::string& line : build.Messages) log_.AddMessage(line);
  // Published whole by a rename: a run that loads it never sees a part of it.
  std::error_code ec;
  fs::rename(build.Library, library, ec);
  if (ec)
    return Fail("cannot keep the compiled model as " + library.string() + ": " + ec.message());
  if (!model_.LoadModelLibrary(library.string(), problem_.Say)) return Failed();
  log_.AddMessage(FillPlaceholders(msg::kModelCompiled, {name}));
  return 0;
}

int DataSetFit::SetParameters() {
  const ModelNames& names = names_;
  std::map<int, double> values, mins, maxs;
  std::string error;
  const int count = table_.Count;
  if (!ParseParameterList("--values", o_.Values, names, count, values, error) ||
      !ParseParameterList("--min", o_.Min, names, count, mins, error) ||
      !ParseParameterList("--max", o_.Max, names, count, maxs, error))
    return Fail(error);
  // A parameter file gives the whole record (values, bounds, fixed marks and all); the
  // options given beside it change what they name.
  if (!o_.Params.empty()) {
    TParameterRecord scratch = table_;
    const std::string reason = ReadParameterFile(o_.Params, scratch);
    if (!reason.empty())
      return Fail(std::string(msg::kOpenFailed) + "\n" + FileNamePart(o_.Params) + ": " + reason);
    table_ = scratch;
    for (const auto& [i, v] : values) table_.Value[i] = table_.TrialValue[i] = v;
  } else {
    for (int i = 1; i <= Room(table_); ++i)
      table_.Value[i] = table_.TrialValue[i] = values.count(i) ? values[i] : 1.0;
  }
  for (const auto& [i, v] : mins) SetBound(table_, i, TBound::Min, v);
  for (const auto& [i, v] : maxs) SetBound(table_, i, TBound::Max, v);
  std::stringstream fixed(o_.Fixed);
  for (std::string item; std::getline(fixed, item, ',');) {
    const auto number = ParseInteger(item);
    const long long i = number ? *number : ParameterIndex(names, item);
    if (i < 1 || i > table_.Count)
      return Fail("--fixed: \"" + item + "\" is no parameter number or name");
    table_.Fixed[i] = true;
  }
  return SetScales();
}

// "--scale log10" scales every parameter; "linear,k2=log10,..." them one by one, as --values.
int DataSetFit::SetScales() {
  if (o_.Scale.empty()) return 0;
  if (const auto all = ScaleFromName(o_.Scale)) {
    for (int i = 1; i <= table_.Count; ++i) table_.Scale[i] = *all;
    return 0;
  }
  std::stringstream list(o_.Scale);
  int next = 1;
  for (std::string item; std::getline(list, item, ',');) {
    int slot = next++;
    if (const auto equals = item.find('='); equals != std::string::npos) {
      const std::string name = item.substr(0, equals);
      const auto number = ParseInteger(name);
      slot = number ? static_cast<int>(*number) : ParameterIndex(names_, name);
      item = item.substr(equals + 1);
    }
    const auto scale = ScaleFromName(item);
    if (slot < 1 || slot > table_.Count || !scale)
      return Fail("--scale: \"" + item + "\" is no scale (linear, ln or log10) of a parameter");
    table_.Scale[slot] = *scale;
  }
  return 0;
}

Json Number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

// Slots 1..count of a one-based array.
template <class Array>
Json Numbers(const Array& values, int count) {
  Json list = Json::array();
  for (int i = 1; i <= count; ++i) list.push_back(Number(values[i]));
  return list;
}

int DataSetFit::Run(bool& modelFailed) {
  modelFailed = false;
  if (ReadData()) return 1;
  if (PrepareModel()) {
    modelFailed = true;
    return 1;
  }
  if (SetParameters()) return 1;
  return Compute();
}

FitOptions DataSetFit::Options(long calls) const {
  FitOptions options;
  options.Objective = problem_.ObjectiveKind;
  options.Calls = calls;
  return options;
}

// The fit chart as the window's paint box shows it, without overlays; "" or why not.
std::string DataSetFit::WriteChart(const std::string& path) {
  // Named, not a structured binding: clang refuses to capture one in a lambda.
  const int W = o_.ChartSize.first, H = o_.ChartSize.second;
  VisibilityTree branches([] {});
  branches.Rebuild(*measured_);
  const FitChartScene scene{*measured_, *chart_, look_.Series, look_.Descriptions, branches,
                            &names_, look_.General.LogYAxis, look_.General.ChartLegend};
  // No curve where the chart's own solution fails, as on the screen.
  const bool curve = problem_.SolveData(table_.Value, *chart_) == SolveResult::Solved;
  const auto paint = [&](Canvas& canvas) {
    DrawChartFrame(canvas, W, H, scene);
    DrawDataMarkers(canvas, W, H, scene);
    if (curve) DrawCurves(canvas, W, H, scene);
    DrawLegend(canvas, W, H, scene);
  };
  const std::string extension = LowercaseExtension(path);
  if (extension == ".png" || extension == ".svg") return WriteChartPicture(path, W, H, paint);
  EmfCanvas emf(W, H, ChartTextMeasure());
  paint(emf);
  std::string error;
  WriteFileReplacing(path, emf.Finish(), error);
  return error;
}

FitOptions DataSetFit::SearchOptions() const {
  FitOptions options = Options(o_.Calls);
  options.Search = FindSearch(o_.Search.empty() ? "lm" : o_.Search)->Search;
  options.Stall = o_.Stall;
  options.Tolerances = LMTolerancesOf(prefs_);
  if (o_.FTol) options.Tolerances.Function = *o_.FTol;
  if (o_.XTol) options.Tolerances.Parameter = *o_.XTol;
  if (o_.GTol) options.Tolerances.Gradient = *o_.GTol;
  return options;
}

namespace {

// A multi-start stopped by Ctrl+C or by a batch system's time limit (SIGTERM) ends as the
// window's Stop does: the running starts are dropped and the finished ones are written.
volatile sig_atomic_t gStopStarts = 0;

void StopStarts(int) { gStopStarts = 1; }

class StopOnSignals {
 public:
  StopOnSignals() {
    gStopStarts = 0;
    struct sigaction stop {};
    stop.sa_handler = StopStarts;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGINT, &stop, &oldInt_);
    sigaction(SIGTERM, &stop, &oldTerm_);
  }
  ~StopOnSignals() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
  }
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;

 private:
  struct sigaction oldInt_ {}, oldTerm_ {};
};

}  // namespace

int DataSetFit::RunStarts() {
  int shard = 1, shards = 1;
  if (!o_.Shard.empty() && (std::sscanf(o_.Shard.c_str(), "%d/%d", &shard, &shards) != 2 ||
                            shards < 1 || shard < 1 || shard > shards))
    return Fail("--shard takes I/N with 1 <= I <= N, not \"" + o_.Shard + "\"");
  MultiStartOptions options;
  options.Count = static_cast<int>(o_.Starts);
  options.Seed = static_cast<std::uint64_t>(o_.Seed);
  options.Jobs = o_.Jobs > 0 ? static_cast<int>(o_.Jobs)
                             : std::max(1, static_cast<int>(::sysconf(_SC_NPROCESSORS_ONLN)));
  options.StartSeconds = static_cast<double>(o_.StartSeconds);
  options.Only = ShardStarts(options.Count, shard, shards);
  observer_.Quiet = true;  // the children's messages would interleave
  {
    const StopOnSignals signals;
    starts_ = zelk::RunStarts(SearchOptions(), problem_, table_, options, observer_, {},
                              [] { return gStopStarts == 0; });
  }
  observer_.Quiet = false;
  if (gStopStarts)
    interrupted_ = "stopped by a signal: " + std::to_string(starts_.size()) + " of " +
                   std::to_string(options.Only.size()) + " starts finished and are written";
  record_.Starts = starts_;  // the report counts those that reached the best
  // No start that ended with an objective is no fit, whatever the start values give.
  if (starts_.empty() || starts_.front().Failed())
    return Fail(interrupted_.empty() ? "no start of the multi-start ended with an objective"
                                     : interrupted_);
  for (int i = 1; i <= table_.Count; ++i)
    table_.Value[i] = table_.TrialValue[i] = starts_.front().Values[static_cast<std::size_t>(i - 1)];
  return 0;
}

int DataSetFit::Compute() {
  const TObjectiveKind kind = o_.Objective == "box-draper" ? TObjectiveKind::BoxDraper
                              : o_.Objective == "weighted" ? TObjectiveKind::WeightedSS
                              : o_.Objective == "likelihood" ? TObjectiveKind::Likelihood
                                                             : TObjectiveKind::SumOfSquares;
  problem_.ObjectiveKind = kind;
  problem_.Noise = names_.Noise;
  double fitSeconds = 0;  // the search alone, without compiling or reporting
  std::int64_t fitSolutions = 0;
  if (o_.Starts > 0) {
    const auto start = std::chrono::steady_clock::now();
    if (const int status = RunStarts(); status != 0) return status;
    fitSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  } else if (!o_.Search.empty()) {
    const auto start = std::chrono::steady_clock::now();
    FitOptions options = Options(o_.Calls);
    options.Search = FindSearch(o_.Search)->Search;
    options.Stall = o_.Stall;
    options.Tolerances = LMTolerancesOf(prefs_);
    if (o_.FTol) options.Tolerances.Function = *o_.FTol;
    if (o_.XTol) options.Tolerances.Parameter = *o_.XTol;
    if (o_.GTol) options.Tolerances.Gradient = *o_.GTol;
    const FitSummary summary = zelk::Fit(options, problem_, table_, observer_);
    Record(summary, record_);
    fitSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fitSolutions = summary.Stats.Solutions;
  }
  // Standard errors at the best point; a failure has said why and fails the run. They go into
  // the record as "Standard Errors" puts them there: the report and a saved parameter file
  // read them from it.
  TStatistics& stats = record_.Statistics;
  if (o_.Stats) {
    const std::string error = zelk::Statistics(problem_, table_, stats);
    for (int i = 1; i <= Room(table_); ++i)
      table_.StdErrValid[i] = error.empty() && i <= table_.Count;
    if (!error.empty()) {
      stats = {};
      // A Jacobian that failed was said by the problem itself.
      if (error != kJacobianFailed) observer_.Say(error);
      return Failed();
    }
    table_.StdError = stats.StdError;
  }
  // F-test limits around the best point, each side ended by its own rules or by --calls; the
  // searches after the fit end by their own rules unless cut.
  const long after = o_.CallsGiven ? o_.Calls : 0;
  LimitsSummary limits;
  if (o_.FLimits) {
    limits = zelk::FLimits(Options(after), problem_, table_, observer_, record_);
    if (!limits.Clean) return Failed();
  }
  TResidualTest residuals;
  if (o_.ResidualTest) {
    if (measured_->YData.EventCount < kResidualTestMinEvents) return Fail(msg::kNotEnoughEvents);
    if (problem_.Solve(table_.Value) != SolveResult::Solved) return Fail(msg::kInitialSolveFailed);
    if (!ComputeResidualTest(measured_->YData, residuals)) return Fail("failed");
  }
  if (!o_.Design.empty()) {
    std::vector<double> design;
    std::string error;
    if (!ParseList("--design", o_.Design, design, error) || design.size() != 3 ||
        design[0] != std::floor(design[0]) || design[0] < 1 || design[0] > kMaxDesignPoints)
      return Fail(error.empty()
                      ? "--design takes N,MIN,MAX with N from 1 to 20, not \"" + o_.Design + "\""
                      : error);
    const int count = static_cast<int>(design[0]);
    if (measured_->XData.IndepCount >= 2) return Fail(msg::kMultivariableDesign);
    if (!FitsInMemory(measured_->YData.EventCount + count, measured_->XData.IndepCount,
                      measured_->YData.DepCount))
      return Fail(FillPlaceholders(msg::kDesignTooLarge,
                                   {std::to_string(measured_->YData.EventCount),
                                    std::to_string(count), std::to_string(kMaxEventCount)}));
    const SearchSummary end =
        zelk::Design(count, design[1], design[2], Options(after), problem_, table_, observer_, record_);
    if (record_.DesignPoints.empty()) {
      // Stopped before any candidate set, or failed with its own message: nothing to add.
      if (end.Reason == SearchEnd::Finished || end.Reason == SearchEnd::Calls)
        return Fail(msg::kDesignNothing);
      return Failed();
    }
    if (end.Reason == SearchEnd::SolveFailed) return Failed();
  }
  if (!o_.SaveParams.empty()) {
    std::string reason;
    if (!WriteFileReplacing(o_.SaveParams, EncodeParameterFile(table_), reason))
      return Fail(std::string(msg::kSaveFailed) + "\n" + reason);
  }

  // The values reported are those of the best point, solved once more.
  const SolveResult solved = problem_.Solve(table_.Value);
  const int result = ResultCode(solved);
  const double objective = problem_.Objective();
  if (!o_.Report.empty()) {
    const std::string search =
        record_.Search == kIdle ? ""
                                : std::string(SearchName(record_.Search)) + " (" +
                                      SearchEndName(record_.Fit.Reason) + ")";
    const std::vector<RichLine> report = BuildReport(
        {fs::absolute(o_.Model).string(), fs::absolute(data_).string(), LocalTimeAndDate(),
         objective, table_, stats.Correlation, measured_->YData, stats.Dof, search, &record_, &names_});
    std::string reason;
    if (!WriteReport(o_.Report, report, reason))
      return Fail("cannot write the report " + o_.Report + ": " + reason);
  }
  if (!std::isfinite(objective))
    return Fail("the objective is not a finite number (" + ExactText(objective) +
                "): the model or the data give values that are not numbers");
  if (!o_.Chart.empty()) {
    const std::string error = WriteChart(o_.Chart);
    if (!error.empty()) return Fail(FillPlaceholders(msg::kChartNotWritten, {o_.Chart, error}));
  }
  const TYData& y = measured_->YData;
  const TParameterRecord& p = table_;
  const FitResult& fit = record_;
  const std::vector<SearchSummary>& sides = fit.LimitSides;
  const auto n = static_cast<std::uint16_t>(std::min(residuals.EventCount, 65535));
  if (o_.Json) {
    Json& out = Line;
    out["objective"] = Number(objective);
    out["result"] = result;
    out["outcome"] = ResultName(solved);
    if (o_.Starts > 0) {
      out.update(StartsJson(starts_, static_cast<int>(o_.Starts), o_.Seed, o_.Shard.empty() ? "1/1" : o_.Shard));
      out["search"] = o_.Search.empty() ? "lm" : o_.Search;
      out["fit_seconds"] = Number(fitSeconds);
    } else if (!o_.Search.empty()) {
      out["search"] = o_.Search;
      out["search_name"] = SearchName(fit.Search);
      out["stop"] = SearchEndName(fit.Fit.Reason);
      if (!fit.Message.empty()) out["stop_message"] = fit.Message;
      out["initial_objective"] = Number(fit.InitialObjective);
      out["trials"] = fit.Fit.Trials;
      out["total_calls"] = fit.TotalCalls;
      out["successful_calls"] = fit.SuccessfulCalls;
      out["failed_calls"] = fit.Fit.FailedCalls;
      out["abandoned_calls"] = fit.Fit.AbandonedCalls;
      out["fit_seconds"] = Number(fitSeconds);
      out["fit_solutions"] = fitSolutions;
    }
    if (o_.Stats) {
      out["observations"] = stats.Observations;
      out["dof"] = stats.Dof;
      out["t_value"] = Number(stats.TValue);
      // A logarithmic parameter's errors are in its scale's units; the factor x/÷ says it
      // in natural terms.
      out["std_errors"] = Numbers(stats.StdError, p.Count);
      Json factors = Json::array();
      for (int i = 1; i <= p.Count; ++i) {
        const TScale scale = EffectiveScale(p, i);
        factors.push_back(scale == TScale::Linear ? Json(nullptr)
                                                  : Number(StdErrorFactor(scale, stats.StdError[i])));
      }
      out["std_error_factors"] = factors;
      // std_errors are 95 % half-widths t s sqrt(Vii); these are s sqrt(Vii) alone.
      Json standard = Json::array();
      for (int i = 1; i <= p.Count; ++i)
        standard.push_back(Number(stats.StdError[i] / stats.TValue));
      out["standard_errors"] = standard;
      Json correlations = Json::array();
      for (int i = 1; i <= p.Count; ++i)
        correlations.push_back(Numbers(stats.Correlation[i], p.Count));
      out["correlations"] = correlations;
      out["covariance_determinant"] = Number(stats.CorrelationDeterminant);
    }
    if (o_.FLimits) {
      out["limit_objective"] = Number(limits.Threshold);
      out["f_value"] = Number(limits.F);
      out["lo_flimits"] = Numbers(p.LoFLimit, p.Count);
      out["hi_flimits"] = Numbers(p.HiFLimit, p.Count);
      Json stops = Json::array();
      for (const SearchSummary& side : sides) stops.push_back(SearchEndName(side.Reason));
      out["flimit_stops"] = stops;
      // Each parameter's probes, [value, objective re-minimised over the others], by value.
      Json profiles = Json::array();
      for (int k = 1; k <= p.Count; ++k) {
        Json list = Json::array();
        for (const auto& [value, objective] : fit.Profile(k))
          list.push_back(Json::array({Number(value), Number(objective)}));
        profiles.push_back(list);
      }
      out["profiles"] = profiles;
    }
    if (o_.ResidualTest) {
      Json d = Json::array(), verdicts = Json::array();
      for (int r = 1; r <= residuals.DepCount; ++r) {
        d.push_back(residuals.DDefined[r] ? Number(residuals.DStat[r]) : Json(nullptr));
        verdicts.push_back(residuals.DDefined[r] ? AutocorrelationVerdict(residuals.DStat[r], n)
                                                 : "-");
      }
      out["d_statistics"] = d;
      out["d_crit_negative"] = Number(static_cast<double>(DCritNegative(n)));
      out["d_crit_positive"] = Number(static_cast<double>(DCritPositive(n)));
      out["autocorrelation"] = verdicts;
    }
    if (!o_.Design.empty()) {
      Json points = Json::array();
      for (double x : fit.DesignPoints) points.push_back(Number(x));
      out["design_points"] = points;
      out["design_determinant"] = Number(fit.DesignDeterminant);
      out["design_iterations"] = fit.Design.Trials;
      out["design_stop"] = SearchEndName(fit.Design.Reason);
    }
    const ModelNames& names = names_;
    Json parameterNames = Json::array(), responseNames = Json::array();
    for (int i = 1; i <= p.Count; ++i) parameterNames.push_back(ParameterLabel(names, i));
    for (int r = 1; r <= y.DepCount; ++r) responseNames.push_back(ResponseLabel(names, r));
    out["names"] = parameterNames;
    out["response_names"] = responseNames;
    out["values"] = Numbers(p.Value, p.Count);
    Json scales = Json::array();
    for (int i = 1; i <= p.Count; ++i) scales.push_back(ScaleName(EffectiveScale(p, i)));
    out["scales"] = scales;
    Json computed = Json::array();
    for (int j = 1; j <= y.EventCount; ++j) computed.push_back(Numbers(y.C[j], y.DepCount));
    out["computed"] = computed;
    out["messages"] = Json(std::vector<std::string>(log_.Lines().begin(), log_.Lines().end()));
  } else {
    std::ostringstream out;
    const char* names[] = {"sum of squares", "Box-Draper", "weighted sum of squares",
                           "negative log-likelihood"};
    if (o_.Starts > 0)
      out << StartsText(starts_, static_cast<int>(o_.Starts)) << "\n";
    else if (!o_.Search.empty())
      out << "Search " << o_.Search << " " << fit.Fit.BriefReport() << "; model calls total "
          << fit.TotalCalls << ", successful " << fit.SuccessfulCalls << "\n";
    out << "Objective (" << names[static_cast<int>(kind)] << "): " << ExactText(objective)
        << "\nSolver result: " << result << " (" << ResultName(solved) << ")\nParameters:";
    for (int i = 1; i <= p.Count; ++i) out << " " << FormatSignificant(p.Value[i], 8);
    if (o_.Stats) {
      out << "\nStandard errors (95 %, t = " << FormatSignificant(stats.TValue, 4) << ", "
          << stats.Dof << " degrees of freedom):";
      for (int i = 1; i <= p.Count; ++i)
        out << " " << StdErrorText(EffectiveScale(p, i), stats.StdError[i], 6);
    }
    if (o_.FLimits) {
      out << "\nF-test limits (threshold " << FormatSignificant(limits.Threshold, 12)
          << ", F = " << FormatSignificant(limits.F, 4) << "):";
      for (int i = 1; i <= p.Count; ++i) {
        out << " [" << FormatSignificant(p.LoFLimit[i], 6) << ", "
            << FormatSignificant(p.HiFLimit[i], 6) << "]";
        const std::size_t lo = 2 * (i - 1), hi = lo + 1;
        if (hi < sides.size())
          out << " (" << SearchEndName(sides[lo].Reason) << "/" << SearchEndName(sides[hi].Reason)
              << ")";
      }
    }
    if (o_.ResidualTest) {
      const auto grid = ResidualGridTexts(residuals);
      out << "\nAutocorrelation test (D, verdict):";
      for (std::size_t r = 1; r < grid.size(); ++r) out << " " << grid[r][1] << " " << grid[r][4] << ";";
      out << " critical values " << grid.at(1)[2] << " and " << grid.at(1)[3];
    }
    if (!o_.Design.empty()) {
      out << "\nDesigned points (" << SearchEndName(fit.Design.Reason) << " after "
          << fit.Design.Trials << " sets, determinant "
          << FormatGeneral(fit.DesignDeterminant, 8) << "):";
      for (double x : fit.DesignPoints) out << " " << FormatSignificant(x, 6);
    }
    out << "\n\nEvent";
    for (int d = 1; d <= y.DepCount; ++d) out << "\tC[" << d << "]";
    out << "\n";
    for (int j = 1; j <= y.EventCount; ++j) {
      out << j << ".";
      for (int d = 1; d <= y.DepCount; ++d) out << "\t" << ExactText(y.C[j][d]);
      out << "\n";
    }
    Text = out.str();
  }
  if (result != 0) {
    Reason =
        "the solution at the reported values ended as \"" + std::string(ResultName(solved)) + "\"";
    return 1;
  }
  // A search that could not go on, or stalled short of an optimum, is no fit, whatever its
  // last point solves to.
  const SearchEnd end = fit.Fit.Reason;
  if (!o_.Search.empty() && (end == SearchEnd::SolveFailed ||
                             end == SearchEnd::InitialSolveFailed || end == SearchEnd::Stalled)) {
    Reason = "the search ended as \"" + std::string(SearchEndName(end)) + "\"" +
             (fit.Message.empty() ? "" : ": " + fit.Message);
    return 1;
  }
  // Written, but not the run that was asked for.
  if (!interrupted_.empty()) return Fail(interrupted_);
  return 0;
}

}  // namespace

std::string FitUsage() {
  std::string usage = "usage: zelkcli fit MODEL.mod DATA... [options]\n  options:";
  std::size_t column = usage.size() - usage.rfind('\n');
  for (const OptionSpec& spec : Options()) {
    const std::string item = std::string(" [") + spec.Name +
                             (spec.Argument ? std::string(" ") + spec.Argument : "") + "]";
    if (column + item.size() > 95) {
      usage += "\n          ";
      column = 10;
    }
    usage += item;
    column += item.size();
  }
  return usage;
}

int Fit(const std::vector<std::string>& args) {
  if (std::find(args.begin(), args.end(), "--help") != args.end()) {
    std::cout << FitUsage() << "\n";
    return 0;
  }
  std::string error;
  const auto options = ParseOptions(args, error);
  if (!options) {
    std::cerr << "zelkcli: " << error << "\n";
    return 1;
  }
  CliOptions o = *options;
  // A PEtab problem is imported into a folder of its own, fitted as any project, and the
  // folder removed afterwards.
  struct Scratch {
    fs::path Dir;
    ~Scratch() {
      std::error_code ec;
      if (!Dir.empty()) fs::remove_all(Dir, ec);
    }
  } scratch;
  if (!o.Petab.empty()) {
    ImportedProject project;
    if (const std::string why = ImportProblem(o.Petab, project); !why.empty()) {
      std::cerr << "zelkcli: " << OneLine(why) << "\n";
      return 1;
    }
    scratch.Dir = fs::temp_directory_path() /
                  ("zelk-petab-" + std::to_string(::getpid()) + "-" + project.Name);
    std::vector<std::string> written;
    if (const std::string why = WriteProject(project, scratch.Dir.string(), written); !why.empty()) {
      std::cerr << "zelkcli: " << OneLine(why) << "\n";
      return 1;
    }
    o.Model = written[0];
    o.Data = {written[1]};
    if (o.Params.empty()) o.Params = written[2];
    if (o.Objective.empty()) o.Objective = "likelihood";
    // The field's models are stiff more often than not, and their likelihoods are compared
    // to a few digits: BDF at tight tolerances unless asked otherwise.
    if (o.Integrator.empty()) o.Integrator = "bdf";
    if (!o.RelTol) o.RelTol = 1e-8;
    if (!o.AbsTol) o.AbsTol = 1e-12;
  }
  const bool several = o.Data.size() > 1;
  std::string modelFailure;  // once the model has failed, every data set fails with it
  bool allFitted = true;
  for (const std::string& data : o.Data) {
    auto fit = std::make_unique<DataSetFit>(o, data);
    int status = 1;
    if (modelFailure.empty()) {
      bool modelFailed = false;
      status = fit->Run(modelFailed);
      if (modelFailed) modelFailure = fit->Reason;
    } else {
      fit->Reason = modelFailure;
    }
    allFitted = allFitted && status == 0;
    if (o.Json) {
      Json line = {{"data", data}};
      if (status != 0) line["error"] = fit->Reason.empty() ? "failed" : fit->Reason;
      if (fit->Line.is_object()) line.update(fit->Line);
      std::cout << line.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
    } else if (several) {
      std::cout << (&data == &o.Data.front() ? "" : "\n") << "Data: " << data << "\n"
                << (status != 0 && fit->Text.empty() ? "Error: " + fit->Reason + "\n" : fit->Text);
    } else {
      std::cout << fit->Text;
      // The results are printed; why they are no fit goes with the other messages.
      if (status != 0 && !fit->Text.empty()) std::cerr << "Error: " << fit->Reason << "\n";
    }
    std::cout.flush();
  }
  return allFitted ? 0 : 1;
}

}  // namespace zelk
