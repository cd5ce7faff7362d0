// zelkcli: the workbench's data files and fits from the command line, read, written and
// computed by the same engine the window uses.
//   zelkcli show FILE.zkd        counts and every value ("#" for a missing one); .gr2 too
//   zelkcli convert IN OUT       .zkd or .gr2 -> .csv, .csv or .gr2 -> .zkd, by the extensions
//   zelkcli fit MODEL.mod DATA...  compiles the model, fits or solves it for each data set, and
//                                 can write its chart
//   zelkcli translate MODEL.mod -o OUT.pas  the library source the window writes beside the model
//   zelkcli import PROBLEM.yaml|MODEL.xml DIR  a PEtab problem or an SBML model as a project
//   zelkcli merge SHARD.json...  the shards of a multi-start run joined into one result

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "base/data_file.h"
#include "base/file_names.h"
#include "base/format.h"
#include "model/model_language.h"
#include "presentation/rich_text.h"
#include "base/csv_table.h"
#include "estimation/import/project_import.h"
#include "tools/zelkcli/data_sets.h"
#include "tools/zelkcli/fit_command.h"
#include "tools/zelkcli/starts_json.h"

namespace zelk {
namespace {

int Fail(const std::string& text) {
  Tell(text);
  return 1;
}

int Show(const std::string& path) {
  auto data = std::make_unique<TDataSet>();
  if (const std::string error = ReadDataSet(path, *data); !error.empty()) return Fail(error);
  const TDataSet& d = *data;
  const int indep = d.XData.IndepCount, dep = d.YData.DepCount;
  std::ostringstream out;
  out << "Independent variables: " << indep << "\nDependent variables: " << dep
      << "\nEvents: " << d.YData.EventCount << "\nMissing values: " << CountMissingValues(d) << "\n\n";
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

int Convert(const std::string& in, const std::string& out) {
  const std::string from = LowercaseExtension(in), to = LowercaseExtension(out);
  const bool toCsv = (from == ".zkd" || from == ".gr2") && to == ".csv";
  const bool toZkd = (from == ".gr2" || from == ".csv") && to == ".zkd";
  if (!toCsv && !toZkd)
    return Fail("convert goes from .zkd or .gr2 to .csv and from .csv or .gr2 to .zkd, not from \"" +
                from + "\" to \"" + to + "\"");
  auto data = std::make_unique<TDataSet>();
  if (const std::string error = ReadDataSet(in, *data); !error.empty()) return Fail(error);
  if (toZkd) {
    const std::string error = WriteDataSet(out, *data);
    return error.empty() ? 0 : Fail(error);
  }
  const std::string text = DataSetToCsv(*data);
  std::string error;
  if (!WriteFileReplacing(out, std::vector<std::uint8_t>(text.begin(), text.end()), error))
    return Fail("cannot write " + out + ": " + error);
  return 0;
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

// A PEtab problem or an SBML model as a Zelk project in DIR; prints the files written.
int Import(const std::string& problem, const std::string& dir) {
  ImportedProject project;
  if (const std::string why = ImportProblem(problem, project); !why.empty()) return Fail(why);
  std::vector<std::string> written;
  if (const std::string why = WriteProject(project, dir, written); !why.empty()) return Fail(why);
  for (const std::string& path : written) std::cout << path << "\n";
  return 0;
}

int Usage() {
  std::cerr << "usage: zelkcli show FILE.zkd|FILE.gr2\n"
               "       zelkcli convert IN OUT   (.zkd or .gr2 -> .csv; .csv or .gr2 -> .zkd)\n"
               "       zelkcli fit MODEL.mod DATA...   (zelkcli fit --help for its options)\n"
               "       zelkcli translate MODEL.mod -o OUT.pas\n"
               "       zelkcli import PROBLEM.yaml|MODEL.xml DIR\n"
               "       zelkcli merge SHARD.json...   (the shards of fit --starts N --shard I/N --json)\n";
  return 1;
}

}  // namespace
}  // namespace zelk

int main(int argc, char* argv[]) {
  using namespace zelk;
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  try {
    if (command == "fit") return Fit(std::vector<std::string>(argv + 2, argv + argc));
    if (command == "translate" && argc == 5 && std::string(argv[3]) == "-o")
      return Translate(argv[2], argv[4]);
    if (command == "show" && argc == 3) return Show(argv[2]);
    if (command == "import" && argc == 4) return Import(argv[2], argv[3]);
    if (command == "merge" && argc >= 3) return MergeShards(std::vector<std::string>(argv + 2, argv + argc));
    if (command == "convert" && argc == 4) return Convert(argv[2], argv[3]);
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
  return Usage();
}
