#include "estimation/import/project_import.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include <yaml-cpp/yaml.h>

#include "base/csv_table.h"
#include "base/data_file.h"
#include "estimation/dimension_file.h"
#include "estimation/import/model_writer.h"
#include "estimation/parameter_file.h"

namespace zelk {

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path.string(), bytes, error))
    throw ImportRefusal("Cannot read " + path.string() + ": " + error);
  return std::string(bytes.begin(), bytes.end());
}

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '"')) s.pop_back();
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '"')) ++i;
  return s.substr(i);
}

// A tab-separated table with a header row; cells by column name, "" where a column is absent.
struct Table {
  std::string File;
  std::vector<std::string> Header;
  std::vector<std::vector<std::string>> Rows;

  int Column(const std::string& name) const {
    for (std::size_t i = 0; i < Header.size(); ++i)
      if (Header[i] == name) return static_cast<int>(i);
    return -1;
  }
  std::string At(std::size_t row, const std::string& name) const {
    const int c = Column(name);
    return c >= 0 && static_cast<std::size_t>(c) < Rows[row].size() ? Rows[row][c] : "";
  }
  void Require(const std::vector<std::string>& names) const {
    for (const std::string& n : names)
      if (Column(n) < 0) throw ImportRefusal("The table " + File + " has no column \"" + n + "\".");
  }
};

// The trimmed pieces of `s` between separators.
std::vector<std::string> Split(const std::string& s, char separator) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (true) {
    const std::size_t at = s.find(separator, start);
    out.push_back(Trim(s.substr(start, at == std::string::npos ? std::string::npos : at - start)));
    if (at == std::string::npos) return out;
    start = at + 1;
  }
}

Table ReadTable(const std::string& name, const std::string& text) {
  Table t;
  t.File = name;
  std::istringstream in(text);
  std::string line;
  bool header = true;
  while (std::getline(in, line)) {
    if (Trim(line).empty()) continue;
    const std::vector<std::string> cells = Split(line, '\t');
    if (header) {
      t.Header = cells;
      header = false;
    } else {
      t.Rows.push_back(cells);
    }
  }
  if (t.Header.empty()) throw ImportRefusal("The table " + t.File + " is empty.");
  return t;
}

// Joins the tables of one kind (a problem may split one over several files).
Table ReadTables(const PetabFiles& read, const YAML::Node& files, const std::string& what) {
  if (!files || !files.IsSequence() || files.size() == 0)
    throw ImportRefusal("The problem names no " + what + ".");
  Table all;
  for (const YAML::Node& f : files) {
    const std::string name = f.as<std::string>();
    Table t = ReadTable(name, read(name));
    if (all.Header.empty()) {
      all = std::move(t);
      continue;
    }
    for (const auto& row : t.Rows) {
      std::vector<std::string> cells(all.Header.size());
      for (std::size_t c = 0; c < all.Header.size(); ++c) {
        const int k = t.Column(all.Header[c]);
        if (k >= 0 && static_cast<std::size_t>(k) < row.size()) cells[c] = row[k];
      }
      all.Rows.push_back(cells);
    }
  }
  return all;
}

bool Number(const std::string& s, double& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  return end && *end == '\0';
}

double NumberOf(const std::string& s, const std::string& what) {
  double v = 0;
  if (!Number(s, v)) throw ImportRefusal("The " + what + " \"" + s + "\" is no number.");
  return v;
}

std::vector<std::string> SplitParameters(const std::string& s) {
  return s.empty() ? std::vector<std::string>{} : Split(s, ';');
}

TScale ScaleOf(const std::string& s, const std::string& id) {
  if (s == "lin" || s.empty()) return TScale::Linear;
  if (s == "log") return TScale::Ln;
  if (s == "log10") return TScale::Log10;
  throw ImportRefusal("Cannot import the scale \"" + s + "\" of parameter \"" + id + "\".");
}

// One response column of the data: an observable with one set of placeholder values.
struct Column {
  std::string Observable, ObservableParameters, NoiseParameters;
  bool SigmaFromData = false;
  bool operator<(const Column& o) const {
    return std::tie(Observable, ObservableParameters, NoiseParameters) <
           std::tie(o.Observable, o.ObservableParameters, o.NoiseParameters);
  }
};

struct Measurement {
  int Experiment = 0, Column = 0;
  double Time = 0, Value = 0, Sigma = NAN;
};

void FillParameterTable(const Table& parameters, TParameterRecord& record) {
  const int count = static_cast<int>(parameters.Rows.size());
  if (count < 1 || count > kMaxParamCount)
    throw ImportRefusal("The parameter table " + parameters.File + " holds " + std::to_string(count) +
                        " parameters; Zelk fits 1 to " + std::to_string(kMaxParamCount) + ".");
  Resize(record, count);
  for (int i = 1; i <= count; ++i) {
    const std::size_t r = static_cast<std::size_t>(i - 1);
    const std::string id = parameters.At(r, "parameterId");
    record.Value[i] = record.InitialValue[i] = record.TrialValue[i] =
        NumberOf(parameters.At(r, "nominalValue"), "nominal value of \"" + id + "\"");
    record.Scale[i] = ScaleOf(parameters.At(r, "parameterScale"), id);
    record.Fixed[i] = parameters.At(r, "estimate") == "0";
    double lower = -HUGE_VAL, upper = HUGE_VAL;
    Number(parameters.At(r, "lowerBound"), lower);
    Number(parameters.At(r, "upperBound"), upper);
    // The table's bounds are natural values; a missing one leaves the parameter free there.
    record.MinBound[i] = lower;
    record.MaxBound[i] = upper;
    SetBound(record, i, TBound::Min, lower);
  }
  ResetFLimits(record);
}

std::string BaseName(const fs::path& path) {
  std::string name = path.stem().string();
  return name.empty() ? "imported" : name;
}

}  // namespace

ImportedProject ImportPetabFile(const std::string& yamlPath) {
  const fs::path yaml(yamlPath), dir = yaml.parent_path();
  return ImportPetab(yaml.filename().string(),
                     [&](const std::string& name) { return ReadText(dir / name); });
}

static ImportedProject ReadPetab(const std::string& yamlName, const PetabFiles& read);

ImportedProject ImportPetab(const std::string& yamlName, const PetabFiles& read) {
  try {
    return ReadPetab(yamlName, read);
  } catch (const YAML::Exception& e) {
    throw ImportRefusal(yamlName + " is no PEtab problem Zelk can read: " + e.what());
  }
}

static ImportedProject ReadPetab(const std::string& yamlName, const PetabFiles& read) {
  const fs::path yaml(yamlName);
  YAML::Node root;
  try {
    root = YAML::Load(read(yamlName));
  } catch (const YAML::Exception& e) {
    throw ImportRefusal(yaml.filename().string() + " is no PEtab problem: " + e.what());
  }
  if (!root.IsMap() || !root["problems"] || !root["problems"].IsSequence() || root["problems"].size() != 1)
    throw ImportRefusal(yaml.filename().string() + " is no PEtab problem of one model: it needs "
                        "\"problems\" with one entry.");
  const YAML::Node problem = root["problems"][0];
  if (!root["parameter_file"]) throw ImportRefusal("The problem names no parameter_file.");
  const YAML::Node sbml = problem["sbml_files"] ? problem["sbml_files"] : problem["model_files"];
  if (!sbml || !sbml.IsSequence() || sbml.size() != 1)
    throw ImportRefusal("The problem names no single SBML model (sbml_files).");
  const SbmlModel model = ReadSbmlModel(read(sbml[0].as<std::string>()),
                                        sbml[0].as<std::string>());
  // One parameter file, or a list of them.
  YAML::Node parameterFiles(YAML::NodeType::Sequence);
  if (root["parameter_file"].IsScalar())
    parameterFiles.push_back(root["parameter_file"].as<std::string>());
  else
    for (const YAML::Node& f : root["parameter_file"]) parameterFiles.push_back(f.as<std::string>());
  const Table parameters = ReadTables(read, parameterFiles, "parameter table");
  const Table conditions = ReadTables(read, problem["condition_files"], "condition table");
  const Table observables = ReadTables(read, problem["observable_files"], "observable table");
  const Table measurements = ReadTables(read, problem["measurement_files"], "measurement table");
  parameters.Require({"parameterId", "nominalValue", "estimate"});
  conditions.Require({"conditionId"});
  observables.Require({"observableId", "observableFormula", "noiseFormula"});
  measurements.Require({"observableId", "simulationConditionId", "measurement", "time"});

  ImportedProject out;
  out.Name = BaseName(yaml);
  ModelPlan plan;
  plan.Heading = "Imported from the PEtab problem " + yaml.filename().string() + " (model " +
                 sbml[0].as<std::string>() + ").\nThe likelihood lines and the sigma columns "
                 "make the \"Likelihood\" objective the problem's negative log-likelihood.";
  std::set<std::string> parameterIds;
  for (std::size_t r = 0; r < parameters.Rows.size(); ++r) {
    plan.Parameters.push_back(parameters.At(r, "parameterId"));
    parameterIds.insert(plan.Parameters.back());
  }
  // A normal or laplace prior is one more term of the likelihood: an observable that is the
  // parameter (on its scale for the parameterScale kinds) measured once as the prior's mean,
  // with its sigma as data. A uniform prior adds a constant inside the bounds: left out.
  struct Prior {
    ImportedObservable Observable;
    double Mean = 0, Sigma = 0;
  };
  std::vector<Prior> priors;
  for (std::size_t r = 0; r < parameters.Rows.size(); ++r) {
    const std::string type = parameters.At(r, "objectivePriorType"), id = parameters.At(r, "parameterId");
    if (type.empty() || type == "uniform" || type == "parameterScaleUniform") continue;
    const bool onScale = type.rfind("parameterScale", 0) == 0;
    const std::string kind = onScale ? type.substr(14) : type;
    if (kind != "Normal" && kind != "normal" && kind != "Laplace" && kind != "laplace")
      throw ImportRefusal("Cannot import the prior \"" + type + "\" of parameter \"" + id +
                          "\": Zelk has normal and laplace priors.");
    const std::vector<std::string> args = SplitParameters(parameters.At(r, "objectivePriorParameters"));
    if (args.size() != 2)
      throw ImportRefusal("The prior of parameter \"" + id + "\" needs two parameters (mean;sigma).");
    Prior prior;
    prior.Mean = NumberOf(args[0], "prior mean of \"" + id + "\"");
    prior.Sigma = NumberOf(args[1], "prior sigma of \"" + id + "\"");
    const std::string scale = parameters.At(r, "parameterScale");
    const std::string value = !onScale || scale == "lin" || scale.empty() ? id
                              : scale == "log" ? "ln(" + id + ")" : "log10(" + id + ")";
    prior.Observable.Id = "prior_" + id;
    prior.Observable.Where = "the prior of \"" + id + "\"";
    prior.Observable.Value = ParseFormula(value, prior.Observable.Where);
    prior.Observable.Distribution = kind == "Laplace" || kind == "laplace" ? NoiseDistribution::Laplace
                                                                          : NoiseDistribution::Normal;
    priors.push_back(std::move(prior));
  }
  FillParameterTable(parameters, out.Parameters);

  std::map<std::string, int> conditionIndex;
  for (std::size_t r = 0; r < conditions.Rows.size(); ++r) {
    const std::string id = conditions.At(r, "conditionId");
    conditionIndex[id] = static_cast<int>(r) + 1;
    const std::string name = conditions.At(r, "conditionName");
    plan.Conditions.push_back(name.empty() || name == id ? id : id + ": " + name);
  }
  for (const std::string& target : conditions.Header) {
    if (target == "conditionId" || target == "conditionName") continue;
    std::vector<std::string>& values = plan.ConditionValues[target];
    for (std::size_t r = 0; r < conditions.Rows.size(); ++r) values.push_back(conditions.At(r, target));
  }

  std::map<std::string, std::size_t> observableRow;
  for (std::size_t r = 0; r < observables.Rows.size(); ++r)
    observableRow[observables.At(r, "observableId")] = r;

  // Experiments (pre-equilibration, simulation) and columns in order of first appearance.
  std::vector<std::pair<std::string, std::string>> experiments;
  std::vector<Column> columns;
  std::vector<Measurement> data;
  std::map<std::string, bool> numericNoise;  // observable -> every row gives its sigma as a number
  for (std::size_t r = 0; r < measurements.Rows.size(); ++r) {
    const std::string obs = measurements.At(r, "observableId");
    double v = 0;
    const bool numeric = Number(measurements.At(r, "noiseParameters"), v);
    auto it = numericNoise.find(obs);
    numericNoise[obs] = (it == numericNoise.end() ? true : it->second) && numeric;
  }
  for (std::size_t r = 0; r < measurements.Rows.size(); ++r) {
    const std::string obs = measurements.At(r, "observableId");
    const auto o = observableRow.find(obs);
    if (o == observableRow.end())
      throw ImportRefusal("The measurement table names the observable \"" + obs +
                          "\", which the observable table does not hold.");
    const std::string sim = measurements.At(r, "simulationConditionId");
    const std::string pre = measurements.At(r, "preequilibrationConditionId");
    for (const std::string& c : {sim, pre})
      if (!c.empty() && !conditionIndex.count(c))
        throw ImportRefusal("The measurement table names the condition \"" + c +
                            "\", which the condition table does not hold.");
    const std::string timeText = measurements.At(r, "time");
    if (timeText == "inf" || timeText == "Inf")
      throw ImportRefusal("Cannot import the steady-state measurement of \"" + obs + "\" (time inf): "
                          "Zelk has no equivalent.");
    Measurement m;
    m.Time = NumberOf(timeText, "time of a measurement of \"" + obs + "\"");
    m.Value = NumberOf(measurements.At(r, "measurement"), "measurement of \"" + obs + "\"");
    if (m.Time < 0)
      throw ImportRefusal("Cannot import the measurement of \"" + obs + "\" before time 0.");
    const std::pair<std::string, std::string> key{pre, sim};
    auto e = std::find(experiments.begin(), experiments.end(), key);
    if (e == experiments.end()) e = experiments.insert(experiments.end(), key);
    m.Experiment = static_cast<int>(e - experiments.begin());
    Column column{obs, measurements.At(r, "observableParameters"), measurements.At(r, "noiseParameters")};
    const std::string noiseFormula = observables.At(o->second, "noiseFormula");
    column.SigmaFromData = numericNoise[obs] && Trim(noiseFormula) == "noiseParameter1_" + obs;
    if (column.SigmaFromData) {
      m.Sigma = NumberOf(column.NoiseParameters, "noise parameter of \"" + obs + "\"");
      column.NoiseParameters.clear();
    }
    auto c = std::find_if(columns.begin(), columns.end(), [&](const Column& k) {
      return !(k < column) && !(column < k);
    });
    if (c == columns.end()) c = columns.insert(columns.end(), column);
    m.Column = static_cast<int>(c - columns.begin());
    data.push_back(m);
  }
  if (data.empty()) throw ImportRefusal("The measurement table holds no measurement.");
  for (const auto& [pre, sim] : experiments) plan.Preequilibration = plan.Preequilibration || !pre.empty();

  // The observables' columns: the same observable under other placeholder values is another
  // column, so that each column's formula is one expression of the model.
  std::map<std::string, int> seen;
  for (const Column& c : columns) {
    const std::size_t r = observableRow[c.Observable];
    ImportedObservable o;
    const int n = ++seen[c.Observable];
    o.Id = n == 1 ? c.Observable : c.Observable + "_" + std::to_string(n);
    o.Where = "observable \"" + c.Observable + "\"";
    o.Value = ParseFormula(observables.At(r, "observableFormula"), o.Where);
    if (!c.SigmaFromData) o.Sigma = ParseFormula(observables.At(r, "noiseFormula"), o.Where);
    const std::string transform = observables.At(r, "observableTransformation");
    o.Transform = transform == "log"     ? NoiseTransform::Log
                  : transform == "log10" ? NoiseTransform::Log10
                                         : NoiseTransform::Lin;
    if (!transform.empty() && transform != "lin" && transform != "log" && transform != "log10")
      throw ImportRefusal("Cannot import the transformation \"" + transform + "\" of " + o.Where + ".");
    const std::string distribution = observables.At(r, "noiseDistribution");
    if (!distribution.empty() && distribution != "normal" && distribution != "laplace")
      throw ImportRefusal("Cannot import the noise distribution \"" + distribution + "\" of " + o.Where + ".");
    o.Distribution = distribution == "laplace" ? NoiseDistribution::Laplace : NoiseDistribution::Normal;
    const auto place = [&](const std::string& values, const std::string& prefix) {
      const std::vector<std::string> list = SplitParameters(values);
      for (std::size_t i = 0; i < list.size(); ++i)
        o.Placeholders[prefix + std::to_string(i + 1) + "_" + c.Observable] = list[i];
    };
    place(c.ObservableParameters, "observableParameter");
    place(c.NoiseParameters, "noiseParameter");
    plan.Observables.push_back(o);
  }

  for (const Prior& prior : priors) plan.Observables.push_back(prior.Observable);

  const WrittenModel written = WriteModel(model, plan);
  out.ModelText = written.Text;
  out.DifEqCount = written.States;
  out.DepCount = static_cast<int>(written.Names.Responses.size());
  out.IndepCount = plan.Preequilibration ? 3 : 2;

  // The rows: per experiment a starting row, then the measurements by time; values of one
  // column at one time go to successive rows at that time.
  struct Row {
    double Time;
    int Experiment;
    std::vector<std::pair<int, double>> Cells;  // 1-based response, value
  };
  std::vector<Row> table;
  for (int e = 0; e < static_cast<int>(experiments.size()); ++e) {
    const bool pre = !experiments[e].first.empty();
    table.push_back({pre ? -kPreequilibrationTime : 0.0, e, {}});
    std::vector<const Measurement*> own;
    for (const Measurement& m : data)
      if (m.Experiment == e) own.push_back(&m);
    std::stable_sort(own.begin(), own.end(), [](const Measurement* a, const Measurement* b) { return a->Time < b->Time; });
    if (pre && (own.empty() || own.front()->Time > 0)) table.push_back({0.0, e, {}});
    std::size_t i = 0;
    while (i < own.size()) {
      std::size_t j = i;
      while (j < own.size() && own[j]->Time == own[i]->Time) ++j;
      std::map<int, int> used;  // column -> rows of this time it has filled
      const std::size_t first = table.size();
      for (std::size_t k = i; k < j; ++k) {
        const Measurement& m = *own[k];
        const std::size_t at = first + static_cast<std::size_t>(used[m.Column]++);
        if (at == table.size()) table.push_back({m.Time, e, {}});
        const int value = written.States + 2 * m.Column + 1;
        table[at].Cells.emplace_back(value, m.Value);
        if (!std::isnan(m.Sigma)) table[at].Cells.emplace_back(value + 1, m.Sigma);
      }
      i = j;
    }
  }
  // The priors' single measurements go to the first row after the first start.
  for (std::size_t i = 0; i < priors.size(); ++i) {
    const int value = written.States + 2 * static_cast<int>(columns.size() + i) + 1;
    table[1].Cells.emplace_back(value, priors[i].Mean);
    table[1].Cells.emplace_back(value + 1, priors[i].Sigma);
  }
  auto set = std::make_unique<TDataSet>();
  const int events = static_cast<int>(table.size());
  if (events > kMaxEventCount)
    throw ImportRefusal("The problem has " + std::to_string(events) + " events; Zelk holds " +
                        std::to_string(kMaxEventCount) + ".");
  set->XData.IndepCount = out.IndepCount;
  set->YData.DepCount = out.DepCount;
  set->YData.EventCount = events;
  Hold(*set, events, out.IndepCount, out.DepCount);
  for (int r = 1; r <= events; ++r) {
    const Row& row = table[static_cast<std::size_t>(r - 1)];
    const auto& [pre, sim] = experiments[static_cast<std::size_t>(row.Experiment)];
    set->XData.X[r][1] = row.Time;
    set->XData.X[r][2] = conditionIndex[sim];
    if (out.IndepCount > 2) set->XData.X[r][3] = pre.empty() ? 0 : conditionIndex[pre];
    for (int k = 1; k <= out.IndepCount; ++k) set->XData.Defined[r][k] = 1;
    const bool starts = r == 1 || table[static_cast<std::size_t>(r - 2)].Experiment != row.Experiment;
    for (int k = 1; starts && k <= written.States; ++k) {
      const double v = written.StartValues[static_cast<std::size_t>(k - 1)];
      if (std::isnan(v)) continue;
      set->YData.M[r][k] = v;
      set->YData.Defined[r][k] = 1;
    }
    for (const auto& [k, v] : row.Cells) {
      set->YData.M[r][k] = v;
      set->YData.Defined[r][k] = 1;
    }
  }
  ComputeRanges(*set);
  out.Data = std::move(set);
  return out;
}

ImportedProject ImportSbmlFile(const std::string& xmlPath) {
  const fs::path xml(xmlPath);
  const SbmlModel model = ReadSbmlModel(ReadText(xml), xml.filename().string());
  ModelPlan plan;
  plan.Heading = "Imported from the SBML model " + xml.filename().string() +
                 ".\nThe data hold the initial values at time 0: type the measurements below them.";
  std::set<std::string> ruled;
  for (const SbmlRule& r : model.AssignmentRules) ruled.insert(r.Variable);
  for (const SbmlRule& r : model.RateRules) ruled.insert(r.Variable);
  for (const SbmlRule& r : model.InitialAssignments) ruled.insert(r.Variable);
  std::vector<double> values;
  for (const SbmlValue& p : model.Parameters)
    if (p.Constant && !ruled.count(p.Id) && !std::isnan(p.Value)) {
      plan.Parameters.push_back(p.Id);
      values.push_back(p.Value);
    }
  ImportedProject out;
  out.Name = BaseName(xml);
  if (plan.Parameters.empty()) {  // a model needs one parameter to be fitted
    plan.Parameters.push_back("unused");
    values.push_back(1);
  }
  const WrittenModel written = WriteModel(model, plan);
  out.ModelText = written.Text;
  out.DifEqCount = written.States;
  out.DepCount = std::max(1, static_cast<int>(written.Names.Responses.size()));
  out.IndepCount = 1;
  Resize(out.Parameters, static_cast<int>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int k = static_cast<int>(i) + 1;
    out.Parameters.Value[k] = out.Parameters.InitialValue[k] = out.Parameters.TrialValue[k] = values[i];
    out.Parameters.MinBound[k] = values[i] > 0 ? values[i] / 1000 : -1e4;
    out.Parameters.MaxBound[k] = values[i] > 0 ? values[i] * 1000 : 1e4;
    SetBound(out.Parameters, k, TBound::Min, out.Parameters.MinBound[k]);
  }
  ResetFLimits(out.Parameters);
  // Time 0 with the initial values (the initial section recomputes those it assigns), then
  // ten empty events to solve to.
  auto set = std::make_unique<TDataSet>();
  const int events = 11;
  set->XData.IndepCount = 1;
  set->YData.DepCount = out.DepCount;
  set->YData.EventCount = events;
  Hold(*set, events, 1, out.DepCount);
  for (int r = 1; r <= events; ++r) {
    set->XData.X[r][1] = r - 1;
    set->XData.Defined[r][1] = 1;
  }
  for (int k = 1; k <= written.States; ++k) {
    const double v = written.StartValues[static_cast<std::size_t>(k - 1)];
    set->YData.M[1][k] = std::isnan(v) ? 0 : v;
    set->YData.Defined[1][k] = 1;
  }
  ComputeRanges(*set);
  out.Data = std::move(set);
  return out;
}

std::string ImportProblem(const std::string& path, ImportedProject& out) {
  try {
    std::string ext = fs::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    out = ext == ".yaml" || ext == ".yml" ? ImportPetabFile(path) : ImportSbmlFile(path);
    return {};
  } catch (const ImportRefusal& e) {
    return e.what();
  } catch (const YAML::Exception& e) {
    return std::string("Cannot read the PEtab problem: ") + e.what();
  } catch (const std::exception& e) {
    return std::string("Cannot import ") + path + ": " + e.what();
  }
}

std::string WriteProject(const ImportedProject& project, const std::string& dir,
                         std::vector<std::string>& written) {
  written.clear();
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) return "Cannot make the folder " + dir + ": " + ec.message();
  const fs::path base = fs::path(dir) / project.Name;
  const bool zkd = FitsDataFile(*project.Data);
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
  files.emplace_back(base.string() + ".mod",
                     std::vector<std::uint8_t>(project.ModelText.begin(), project.ModelText.end()));
  if (zkd) {
    files.emplace_back(base.string() + ".zkd", EncodeDataFile(*project.Data));
  } else {
    const std::string csv = DataSetToCsv(*project.Data);
    files.emplace_back(base.string() + ".csv", std::vector<std::uint8_t>(csv.begin(), csv.end()));
  }
  files.emplace_back(base.string() + ".par", EncodeParameterFile(project.Parameters));
  std::vector<std::uint8_t> dim;
  for (const Dimension d : kDimensionFileOrder) {
    const int v = d == Dimension::AlgEq ? 0
                  : d == Dimension::DifEq ? project.DifEqCount
                  : d == Dimension::Param ? project.Parameters.Count
                  : d == Dimension::Indep ? project.IndepCount
                                          : project.DepCount;
    AppendInt32(dim, v);
  }
  files.emplace_back(base.string() + ".dim", dim);
  for (const auto& [path, bytes] : files) {
    std::string error;
    if (!WriteFileReplacing(path, bytes, error)) {
      for (const std::string& done : written) fs::remove(done, ec);
      written.clear();
      return "Cannot write " + path + ": " + error;
    }
    written.push_back(path);
  }
  return {};
}

}  // namespace zelk
