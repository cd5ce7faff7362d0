// zelkcli: the workbench's data files from the command line, read and written by the same
// workspace code the window uses.
//   zelkcli show FILE.zkd        counts and every value ("#" for a missing one); .gr2 too
//   zelkcli convert IN OUT       .zkd or .gr2 -> .csv, .csv or .gr2 -> .zkd, by the extensions
//   zelkcli fit MODEL.mod DATA...  compiles the model, fits or solves it for each data set, and
//                                 can write its chart
//   zelkcli translate MODEL.mod -o OUT.pas  the library source the window writes beside the model

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "base/data_file.h"
#include "base/format.h"
#include "base/preferences.h"
#include "estimation/objective.h"
#include "model/model_language.h"
#include "model/solver.h"
#include "presentation/rich_text.h"
#include "tools/zelkcli/console_ui.h"
#include "tools/zelkcli/csv_table.h"
#include "tools/zelkcli/fit_command.h"
#include "workspace/workspace.h"

namespace zelk {
namespace {

int Fail(const std::string& text) {
  std::cerr << "zelkcli: " << text << "\n";
  return 1;
}

int Show(Workspace& ws, const std::string& path) {
  if (!ws.ReadAnyDataFile(path)) return 1;
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
  const std::string from = LowercaseExtension(in), to = LowercaseExtension(out);
  const bool dataFile = from == ".zkd" || from == ".gr2";
  if (dataFile && to == ".csv") {
    if (!ws.ReadAnyDataFile(in)) return 1;
    const std::string text = DataSetToCsv(ws.MeasuredData);
    std::string error;
    if (!WriteFileReplacing(out, std::vector<std::uint8_t>(text.begin(), text.end()), error))
      return Fail("cannot write " + out + ": " + error);
    return 0;
  }
  if (from == ".gr2" && to == ".zkd") {
    if (!ws.ReadForeignDataFile(in)) return 1;
    return ws.WriteDataFile(out) ? 0 : 1;
  }
  if (from == ".csv" && to == ".zkd") {
    std::string error;
    if (!ReadCsvDataFile(ws, in, error)) return Fail(error);
    return ws.WriteDataFile(out) ? 0 : 1;
  }
  return Fail("convert goes from .zkd or .gr2 to .csv and from .csv or .gr2 to .zkd, not from \"" +
              from + "\" to \"" + to + "\"");
}

// The generated library source of a model file, as the window writes it beside the model; the
// dimension file beside it, where there is one, bounds the index warnings.
int Translate(const std::string& model, const std::string& out) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(model, bytes, error)) return Fail("cannot read " + model + ": " + error);
  const std::string text = ModelTextFromFile(std::string(bytes.begin(), bytes.end()));
  std::string base = std::filesystem::path(model).filename().string();
  if (LowercaseExtension(base) == ".mod") base.resize(base.size() - 4);
  ModelTranslator translator(text, base);
  const TranslationResult result = translator.Translate();
  if (!result.Ok)
    return Fail(model + ": " + (result.Error.empty() ? "no Pascal source is generated" : result.Error));
  std::string source;
  for (const std::string& line : result.Lines) source += line + "\n";
  if (!WriteFileReplacing(out, std::vector<std::uint8_t>(source.begin(), source.end()), error))
    return Fail("cannot write " + out + ": " + error);
  return 0;
}

int Usage() {
  std::cerr << "usage: zelkcli show FILE.zkd|FILE.gr2\n"
               "       zelkcli convert IN OUT   (.zkd or .gr2 -> .csv; .csv or .gr2 -> .zkd)\n"
               "       zelkcli fit MODEL.mod DATA...   (zelkcli fit --help for its options)\n"
               "       zelkcli translate MODEL.mod -o OUT.pas\n";
  return 1;
}

}  // namespace
}  // namespace zelk

int main(int argc, char* argv[]) {
  using namespace zelk;
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  ConsoleUi ui("zelkcli");
  try {
    // Each data set of a fit gets a workspace of its own.
    if (command == "fit") return Fit(ui, std::vector<std::string>(argv + 2, argv + argc));
    if (command == "translate" && argc == 5 && std::string(argv[3]) == "-o")
      return Translate(argv[2], argv[4]);
    auto ws = std::make_unique<Workspace>(ui);
    ws->Start();
    if (command == "show" && argc == 3) return Show(*ws, argv[2]);
    if (command == "convert" && argc == 4) return Convert(*ws, argv[2], argv[3]);
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
  return Usage();
}
