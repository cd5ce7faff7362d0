// zelkcli: the workbench's data files from the command line, read and written by the same
// workspace code the window uses.
//   zelkcli show FILE.zkd        counts and every value ("#" for a missing one)
//   zelkcli convert IN OUT       .zkd <-> .csv, chosen by the extensions
//   zelkcli fit MODEL.mod DATA   compiles the model and solves it once for given values

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "tools/zelkcli/console_ui.h"
#include "tools/zelkcli/csv_table.h"
#include "estimation/objective.h"
#include "model/solver.h"
#include "workspace/data_file.h"
#include "workspace/format.h"
#include "workspace/preferences.h"
#include "workspace/workspace.h"

namespace zelk {
namespace {

std::string Extension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

int Fail(const std::string& text) {
  std::cerr << "zelkcli: " << text << "\n";
  return 1;
}

int Show(Workspace& ws, const std::string& path) {
  if (Extension(path) != ".zkd") return Fail("show reads .zkd files; \"" + path + "\" is not one");
  if (!ws.ReadDataFile(path)) return 1;
  ws.SetDataSaved(true);
  const TDataSet& d = ws.MeasuredData;
  const int indep = d.XData.IndepCount, dep = d.YData.DepCount;
  std::ostringstream out;
  out << "Independent variables: " << indep << "\nDependent variables: " << dep
      << "\nEvents: " << d.YData.EventCount << "\nMissing values: " << ws.MissingCount << "\n\n";
  out << "Event";
  for (int i = 1; i <= indep; ++i) out << "\tX[" << i << "]";
  for (int i = 1; i <= dep; ++i) out << "\tY[" << i << "]";
  out << "\n";
  for (int j = 1; j <= d.YData.EventCount; ++j) {
    out << j << ".";
    for (int i = 1; i <= indep; ++i)
      out << "\t" << (d.XData.Defined[j][i] ? ExactText(d.XData.X[j][i]) : "#");
    for (int i = 1; i <= dep; ++i)
      out << "\t" << (d.YData.Defined[j][i] ? ExactText(d.YData.M[j][i]) : "#");
    out << "\n";
  }
  std::cout << out.str();
  return 0;
}

int Convert(Workspace& ws, const std::string& in, const std::string& out) {
  const std::string from = Extension(in), to = Extension(out);
  if (from == ".zkd" && to == ".csv") {
    if (!ws.ReadDataFile(in)) return 1;
    const std::string text = DataSetToCsv(ws.MeasuredData);
    std::string error;
    if (!WriteFileReplacing(out, std::vector<std::uint8_t>(text.begin(), text.end()), error))
      return Fail("cannot write " + out + ": " + error);
    return 0;
  }
  if (from == ".csv" && to == ".zkd") {
    std::ifstream file(in, std::ios::binary);
    if (!file) return Fail("cannot open " + in);
    std::stringstream text;
    text << file.rdbuf();
    auto table = std::make_unique<TDataSet>();
    std::string error;
    if (!CsvToDataSet(text.str(), *table, error)) return Fail(in + ": " + error);
    // Counts go through the dimension fields, as they do for every file.
    ws.SetDimensionText(Dimension::Indep, std::to_string(table->XData.IndepCount));
    ws.SetDimensionText(Dimension::Dep, std::to_string(table->YData.DepCount));
    ws.SetDimensionText(Dimension::Events, std::to_string(table->YData.EventCount));
    ws.MeasuredData.XData.X = table->XData.X;
    ws.MeasuredData.XData.Defined = table->XData.Defined;
    ws.MeasuredData.YData.M = table->YData.M;
    ws.MeasuredData.YData.Defined = table->YData.Defined;
    return ws.WriteDataFile(out) ? 0 : 1;
  }
  return Fail("convert goes from .zkd to .csv or from .csv to .zkd, not from \"" + from +
              "\" to \"" + to + "\"");
}

std::string JsonNumber(double v) {
  if (!std::isfinite(v)) return "null";
  return ExactText(v);
}

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

// The compiler: the preferences' path when it names a file, else pasbuild beside us.
std::string FindCompiler(const std::string& fromPreferences) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fromPreferences.empty() && fs::is_regular_file(fromPreferences, ec)) return fromPreferences;
  const fs::path self = fs::canonical("/proc/self/exe", ec).parent_path();
  for (const fs::path& candidate : {self / "pasbuild", self.parent_path() / "pasbuild" / "pasbuild"})
    if (fs::is_regular_file(candidate, ec)) return candidate.string();
  return {};
}

int Fit(Workspace& ws, const std::vector<std::string>& args) {
  std::string model, data, objective = "ss", values;
  bool json = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      json = true;
    } else if ((args[i] == "--values" || args[i] == "--objective") && i + 1 < args.size()) {
      (args[i] == "--values" ? values : objective) = args[i + 1];
      ++i;
    } else if (model.empty()) {
      model = args[i];
    } else if (data.empty()) {
      data = args[i];
    } else {
      return Fail("unexpected argument \"" + args[i] + "\"");
    }
  }
  if (model.empty() || data.empty()) return Fail("usage: zelkcli fit MODEL.mod DATA.zkd [--values v1,v2,...] [--json]");
  TObjectiveKind kind = TObjectiveKind::SumOfSquares;
  if (objective == "box-draper")
    kind = TObjectiveKind::BoxDraper;
  else if (objective == "weighted")
    kind = TObjectiveKind::WeightedSS;
  else if (objective != "ss")
    return Fail("--objective is ss, box-draper or weighted, not \"" + objective + "\"");

  TPreferences prefs;
  LoadPreferences(PreferencesPath(), prefs);
  ws.Prefs = prefs.General;
  ws.Prefs.CompilerPath = FindCompiler(prefs.General.CompilerPath);
  if (ws.Prefs.CompilerPath.empty()) return Fail("no compiler: set its path in the preferences or install pasbuild beside zelkcli");
  ws.UseTerminal = false;
  ws.Prefs.SourcePreview = false;

  // The data first: its counts would otherwise mark the model modified after it was read.
  if (!ws.ReadDataFile(data)) return 1;
  ws.SetDataSaved(true);
  const std::string modelPath = std::filesystem::absolute(model).string();
  if (!ws.ReadModelFile(modelPath)) return Fail("cannot read the model file " + model);
  if (!ws.ReadDimensionFile(CompanionName(modelPath))) return Fail("cannot read the dimension file " + CompanionName(model));
  ws.ModelFileName = modelPath;
  ws.SetModelSaved(true);

  if (!ws.TranslateModel()) return Fail(ws.SourceIsC ? "C models cannot be compiled" : "the model text was not translated");
  if (!ws.StartCompile(ws.PasFilePath())) return 1;
  for (int i = 0; i < 3000 && ws.CompileTimerEnabled; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ws.CompileTimerTimer();
  }
  if (ws.CompileTimerEnabled) return Fail("the compiler did not finish within five minutes");
  if (ws.Model.LibFileName.empty()) {
    for (const std::string& line : ws.Log.Lines()) std::cerr << line << "\n";
    return Fail("the model was not compiled");
  }

  T20Vector p{};
  for (int i = 1; i <= kMaxParams; ++i) p[i] = 1.0;
  if (!values.empty()) {
    std::stringstream list(values);
    int i = 0;
    for (std::string item; std::getline(list, item, ',');) {
      const auto v = ParseNumber(item);
      if (!v) return Fail("--values: \"" + item + "\" is not a number");
      if (++i > kMaxParams) return Fail("--values: at most 20 parameters");
      p[i] = *v;
    }
  }
  const int result = ws.SolveModel(p, ws.MeasuredData);
  const TYData& y = ws.MeasuredData.YData;
  TResponseSums sums{};
  const double value = Objective(kind, y, sums);
  const char* names[] = {"sum of squares", "Box-Draper", "weighted sum of squares"};
  const char* name = names[static_cast<int>(kind)];
  std::ostringstream out;
  if (json) {
    out << "{\"objective\": " << JsonNumber(value) << ", \"result\": " << result << ", \"values\": [";
    for (int i = 1; i <= ws.Parameters.Count; ++i) out << (i > 1 ? ", " : "") << JsonNumber(p[i]);
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
    out << "Objective (" << name << "): " << ExactText(value) << "\nSolver result: " << result << "\nParameters:";
    for (int i = 1; i <= ws.Parameters.Count; ++i) out << " " << ExactText(p[i]);
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

int Usage() {
  std::cerr << "usage: zelkcli show FILE.zkd\n"
               "       zelkcli convert IN OUT   (.zkd <-> .csv)\n"
               "       zelkcli fit MODEL.mod DATA.zkd [--values v1,v2,...] [--json] [--objective ss|box-draper|weighted]\n";
  return 1;
}

}  // namespace
}  // namespace zelk

int main(int argc, char* argv[]) {
  using namespace zelk;
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  ConsoleUi ui("zelkcli");
  auto ws = std::make_unique<Workspace>(ui);
  ws->Start();
  try {
    if (command == "show" && argc == 3) return Show(*ws, argv[2]);
    if (command == "convert" && argc == 4) return Convert(*ws, argv[2], argv[3]);
    if (command == "fit") return Fit(*ws, std::vector<std::string>(argv + 2, argv + argc));
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
  return Usage();
}
