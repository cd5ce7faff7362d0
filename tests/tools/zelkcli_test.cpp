#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "base/data_file.h"
#include "base/format.h"
#include "base/messages.h"
#include "presentation/rich_text.h"
#include "support/files.h"
#include "support/foreign_file.h"
#include "support/temp_folder.h"
#include "base/csv_table.h"

namespace zelk {
namespace {

using CliRun = test::CommandRun;
using Json = nlohmann::json;
using test::ReadText;
using test::WriteText;

// Compiled models of this test process, never the user's own.
const std::filesystem::path& CacheHome() {
  static const struct Cache {
    std::filesystem::path Path = std::filesystem::temp_directory_path() /
                                 ("zelkcli-test-cache-" + std::to_string(::getpid()));
    ~Cache() { std::filesystem::remove_all(Path); }
  } cache;
  return cache.Path;
}

// Runs zelkcli with `args`, never with the user's own settings.
CliRun Cli(const std::string& args) {
  return test::RunCommand("XDG_CONFIG_HOME=/nonexistent/zelk-test XDG_CACHE_HOME=" +
                          CacheHome().string() + " " + std::string(ZELKCLI) + " " + args);
}

// The JSON lines of an output that mixes them with messages.
std::vector<Json> JsonLines(const std::string& out) {
  std::vector<Json> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] == '{') lines.push_back(Json::parse(line));
  return lines;
}

Json JsonLine(const CliRun& run) {
  const auto lines = JsonLines(run.Out);
  EXPECT_EQ(lines.size(), 1u) << run.Out;
  return lines.empty() ? Json::object() : lines[0];
}

// The files of a folder, by name.
std::set<std::string> FilesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

TEST(CsvTable, WritesTheHeaderAndEmptyCellsForMissingValues) {
  auto data = std::make_unique<TDataSet>();
  data->XData.IndepCount = 2;
  data->YData.DepCount = 1;
  data->YData.EventCount = 2;
  data->XData.X[1] = {0, 0.1, 5};
  data->XData.Defined[1] = {false, true, true};
  data->XData.X[2] = {0, 0.30000000000000004, 5};
  data->XData.Defined[2] = {false, true, true};
  data->YData.M[1][1] = -1e-300;
  data->YData.Defined[1][1] = true;
  EXPECT_EQ(DataSetToCsv(*data), "X[1],X[2],Y[1]\n0.1,5,-1e-300\n0.30000000000000004,5,\n");
}

TEST(CsvTable, ReadsBackEveryDoubleExactly) {
  auto data = std::make_unique<TDataSet>();
  data->YData.EventCount = 6;
  const double values[] = {-0.0,
                           std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::max(),
                           -std::numeric_limits<double>::max(),
                           1.0 / 3,
                           123456789.125};
  for (int j = 1; j <= 6; ++j) {
    data->XData.X[j][1] = j;
    data->XData.Defined[j][1] = true;
    data->YData.M[j][1] = values[j - 1];
    data->YData.Defined[j][1] = true;
  }
  auto back = std::make_unique<TDataSet>();
  std::string error;
  ASSERT_TRUE(CsvToDataSet(DataSetToCsv(*data), *back, error)) << error;
  for (int j = 1; j <= 6; ++j)
    EXPECT_EQ(std::signbit(back->YData.M[j][1]), std::signbit(values[j - 1])) << j;
  EXPECT_EQ(back->YData.M, data->YData.M);
  EXPECT_EQ(EncodeDataFile(*back), EncodeDataFile(*data));
}

TEST(CsvTable, RefusesWhatIsNotADataTableWithAReason) {
  std::string manyEvents = "X[1],Y[1]\n";
  for (int j = 0; j < kMaxEventCount + 1; ++j) manyEvents += "1,2\n";
  std::string wideHeader;
  for (int i = 1; i <= 2 * kMaxVariables + 1; ++i) wideHeader += (i > 1 ? ",X[" : "X[") + std::to_string(i) + "]";
  std::string tooManyY = "X[1]";
  for (int i = 1; i <= kMaxVariables + 1; ++i) tooManyY += ",Y[" + std::to_string(i) + "]";
  struct Case {
    std::string name;
    std::string text;
    std::string reason;
  } cases[] = {
      {"infinity", "X[1],Y[1]\n1,inf\n", "event 1, Y[1]: \"inf\" is not a finite number"},
      {"NaN", "X[1],Y[1]\n1,2\nnan,3\n", "event 2, X[1]: \"nan\" is not a finite number"},
      {"minus infinity", "X[1],X[2],Y[1]\n1,2,3\n1,-inf,3\n",
       "event 2, X[2]: \"-inf\" is not a finite number"},
      {"too many events", manyEvents, "a data set has 1 to 300000 events; the file has more"},
      {"too many cells in the header", wideHeader + "\n", "line 1 has more than 30000 cells"},
      {"too many cells in a row", "X[1],Y[1]\n1,2\n" + std::string(2 * kMaxVariables, ',') + "\n",
       "line 3 has more than 30000 cells"},
      {"too many dependent variables", tooManyY + "\n1\n", "more than a data set holds"},
      {"long line", "X[1],Y[1]\n1,2\n1," + std::string(kMaxCsvLineLength, '1') + "\n",
       "line 3 is longer than 2097152 characters"},
      {"empty", "", "empty"},
      {"no Y", "X[1]\n1\n", "at least X[1] and Y[1]"},
      {"Y before X", "Y[1],X[1]\n1,2\n", "does not fit"},
      {"gap", "X[1],X[3],Y[1]\n1,2,3\n", "\"X[3]\" does not fit"},
      {"short row", "X[1],Y[1]\n1\n", "line 2 has 1 cells"},
      {"letters", "X[1],Y[1]\n1,abc\n", "line 2, column 2: \"abc\" is not a number"},
      {"comma decimal", "X[1],Y[1]\n1,2;5\n", "is not a number"},
      {"no events", "X[1],Y[1]\n", "at least one event"},
  };
  for (const auto& c : cases) {
    auto data = std::make_unique<TDataSet>();
    std::string error;
    EXPECT_FALSE(CsvToDataSet(c.text, *data, error)) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
  }
}

TEST(CsvTable, AcceptsWindowsLineEndingsAndAByteOrderMark) {
  auto data = std::make_unique<TDataSet>();
  std::string error;
  ASSERT_TRUE(CsvToDataSet("\xEF\xBB\xBFX[1],Y[1]\r\n1, 2\r\n3,\r\n", *data, error)) << error;
  EXPECT_EQ(data->YData.EventCount, 2);
  EXPECT_EQ(data->YData.M[1][1], 2.0);
  EXPECT_FALSE(data->YData.Defined[2][1]);
}

TEST(Zelkcli, ConvertsTheExampleToCsvAndBackByteForByte) {
  test::TempFolder folder;
  const std::string example = std::string(EXAMPLES) + "/decay.zkd";
  const std::string csv = folder.File("decay.csv"), zkd = folder.File("decay.zkd");
  CliRun toCsv = Cli("convert " + example + " " + csv);
  ASSERT_EQ(toCsv.Status, 0) << toCsv.Out;
  EXPECT_EQ(ReadText(csv).substr(0, 18), "X[1],Y[1]\n0,1\n0.5,");
  CliRun back = Cli("convert " + csv + " " + zkd);
  ASSERT_EQ(back.Status, 0) << back.Out;
  EXPECT_EQ(ReadText(zkd), ReadText(example));
}

TEST(Zelkcli, ShowsCountsAndValuesWithHashesForMissingOnes) {
  test::TempFolder folder;
  const std::string csv = folder.File("t.csv"), zkd = folder.File("t.zkd");
  WriteText(csv, "X[1],Y[1],Y[2]\n0,1.5,\n2,,7\n");
  ASSERT_EQ(Cli("convert " + csv + " " + zkd).Status, 0);
  CliRun show = Cli("show " + zkd);
  EXPECT_EQ(show.Status, 0);
  EXPECT_EQ(show.Out,
            "Independent variables: 1\nDependent variables: 2\nEvents: 2\nMissing values: 2\n\n"
            "Event\tX[1]\tY[1]\tY[2]\n1.\t0\t1.5\t#\n2.\t2\t#\t7\n");
}

TEST(Zelkcli, ReadsForeignFilesIntoCsvAndTheOwnFormat) {
  test::TempFolder folder;
  test::ForeignImage image;
  image.Events = 2;
  image.Values = {DoubleToExtended(0.0), DoubleToExtended(0.5), image.Marker,
                  DoubleToExtended(1.25)};
  const auto bytes = image.Bytes();
  WriteText(folder.File("run.gr2"), std::string(bytes.begin(), bytes.end()));
  ASSERT_EQ(Cli("convert " + folder.File("run.gr2") + " " + folder.File("run.csv")).Status, 0);
  EXPECT_EQ(ReadText(folder.File("run.csv")), "X[1],Y[1]\n0,\n0.5,1.25\n");
  ASSERT_EQ(Cli("convert " + folder.File("run.gr2") + " " + folder.File("run.zkd")).Status, 0);
  CliRun show = Cli("show " + folder.File("run.zkd"));
  EXPECT_EQ(show.Out.substr(show.Out.find("Event\t")),
            "Event\tX[1]\tY[1]\n1.\t0\t#\n2.\t0.5\t1.25\n");
}

TEST(Zelkcli, BadInputGetsOneLineAndExitCodeOne) {
  test::TempFolder folder;
  WriteText(folder.File("bad.zkd"), "ZKX");
  WriteText(folder.File("cut.zkd"), std::string("ZKD\1\0\1\0\0\0\1\0\0\0\5\0\0\0", 17));
  WriteText(folder.File("bad.csv"), "X[1],Y[1]\n1,x\n");
  struct Case {
    std::string args;
    std::string text;
  } cases[] = {
      {"show " + folder.File("bad.zkd"),
       "zelkcli: File header is invalid! Operation cancelled ...\n"},
      {"show " + folder.File("missing.zkd"), "Cannot open the file"},
      {"show " + folder.File("cut.zkd"), "ends early"},
      {"convert " + folder.File("bad.csv") + " " + folder.File("o.zkd"), "\"x\" is not a number"},
      {"convert a.txt b.zkd", "convert goes from .zkd or .gr2 to .csv"},
      {"show " + folder.File("old.grd"), "This function is not implemented yet!"},
      {"frobnicate", "usage:"},
  };
  for (const auto& c : cases) {
    CliRun run = Cli(c.args);
    EXPECT_EQ(run.Status, 1) << c.args;
    EXPECT_NE(run.Out.find(c.text), std::string::npos) << c.args << ": " << run.Out;
    if (c.args.rfind("show", 0) == 0 || c.args.rfind("convert", 0) == 0) {
      EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), 1) << run.Out;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(folder.File("o.zkd")));
}

// The examples are copied first: a compilation leaves its files beside the model.
void CopyExample(const test::TempFolder& folder, const std::string& base) {
  for (const char* ext : {".mod", ".dim", ".zkd"})
    std::filesystem::copy_file(std::string(EXAMPLES) + "/" + base + ext, folder.File(base + ext));
}

// The example copied into `folder`, as the model and data arguments of fit.
std::string ExampleFiles(const test::TempFolder& folder, const std::string& base) {
  CopyExample(folder, base);
  return folder.File(base + ".mod") + " " + folder.File(base + ".zkd");
}

// translate writes the library source the window writes beside the model, and pasbuild builds
// it; a model that does not translate says why and writes nothing.
TEST(Zelkcli, TranslateWritesTheLibrarySourceThatCompiles) {
  test::TempFolder folder;
  CopyExample(folder, "abc");
  const std::string source = folder.File("out.pas");
  CliRun run = Cli("translate " + folder.File("abc.mod") + " -o " + source);
  ASSERT_EQ(run.Status, 0) << run.Out;
  EXPECT_EQ(ReadText(source).rfind("Library abc;\n", 0), 0u);
  const std::string pasbuild =
      (std::filesystem::path(ZELKCLI).parent_path().parent_path() / "pasbuild/pasbuild").string();
  const CliRun built = test::RunCommand(pasbuild + " " + source + " /E " + folder.Path().string() + "/");
  EXPECT_EQ(built.Status, 0) << built.Out;
  EXPECT_TRUE(std::filesystem::exists(folder.File("abc.dll")));

  WriteText(folder.File("broken.mod"), "language = pascal\ndeclar\n");
  run = Cli("translate " + folder.File("broken.mod") + " -o " + folder.File("broken.pas"));
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Out.find("Undefined end of section (end declar)!"), std::string::npos) << run.Out;
  EXPECT_FALSE(std::filesystem::exists(folder.File("broken.pas")));
}

TEST(Zelkcli, FitCompilesTheExampleModelAndPrintsTheObjective) {
  test::TempFolder folder;
  CopyExample(folder, "abc");
  CliRun run = Cli("fit " + folder.File("abc.mod") + " " + folder.File("abc.zkd") +
                   " --values 0.6,0.25 --json");
  ASSERT_EQ(run.Status, 0) << run.Out;
  const Json fit = JsonLine(run);
  EXPECT_LT(fit["objective"].get<double>(), 0.01);
  EXPECT_EQ(fit["result"], 0);
  EXPECT_EQ(fit["outcome"], "solved");
  EXPECT_EQ(fit["values"], Json({0.6, 0.25}));
  EXPECT_EQ(fit["computed"][0], Json({1.0, 0.0, 0.0}));
  EXPECT_EQ(fit["messages"], Json({"abc.mod compiled and loaded."}));
  // The next run loads what this one built; neither leaves a file beside the model.
  CliRun again = Cli("fit " + folder.File("abc.mod") + " " + folder.File("abc.zkd") +
                     " --values 0.6,0.25 --json");
  ASSERT_EQ(again.Status, 0) << again.Out;
  EXPECT_EQ(JsonLine(again)["objective"], fit["objective"]);
  EXPECT_EQ(JsonLine(again)["messages"],
            Json({FillPlaceholders(msg::kModelLoadedFromCache, {"abc.mod"})}));
  EXPECT_EQ(FilesIn(folder.Path()), (std::set<std::string>{"abc.mod", "abc.dim", "abc.zkd"}));
  // Far from the data the objective grows.
  CliRun worse =
      Cli("fit " + folder.File("abc.mod") + " " + folder.File("abc.zkd") + " --values 2,2");
  ASSERT_EQ(worse.Status, 0) << worse.Out;
  EXPECT_EQ(worse.Out.rfind("Objective (sum of squares): ", 0), 0u);
  EXPECT_GT(std::stod(worse.Out.substr(28)), 0.1);
}

// A model that names its rate and response is fitted by name and says the names back.
TEST(Zelkcli, NamedParametersAreSetByNameAndReported) {
  test::TempFolder folder;
  CopyExample(folder, "decay");
  WriteText(folder.File("named.mod"),
            "language = pascal\nnames\n parameters Rate\n responses Conc\nend names\n"
            "declar\nend declar\nstatic\nend static\ndynamic\n d_Conc := -Rate*Conc;\nend dynamic\n");
  std::filesystem::copy_file(folder.File("decay.dim"), folder.File("named.dim"));
  const std::string fit = "fit " + folder.File("named.mod") + " " + folder.File("decay.zkd");
  CliRun run = Cli(fit + " --values rate=0.5 --min Rate=0.4 --json");
  ASSERT_EQ(run.Status, 0) << run.Out;
  Json line = JsonLine(run);
  EXPECT_EQ(line["names"], Json({"Rate"}));
  EXPECT_EQ(line["response_names"], Json({"Conc"}));
  EXPECT_EQ(line["values"], Json({0.5}));
  // The bound set by name holds the search: the optimum 0.352 lies below it.
  run = Cli(fit + " --values 0.5 --min Rate=0.4 --search lm --json");
  ASSERT_EQ(run.Status, 0) << run.Out;
  EXPECT_EQ(JsonLine(run)["values"], Json({0.4}));
  run = Cli(fit + " --values 0.5 --fixed Rate --search lm --json");
  EXPECT_EQ(JsonLine(run)["values"], Json({0.5}));
  run = Cli(fit + " --values speed=1");
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Out.find("--values: no parameter is named \"speed\""), std::string::npos);
}

TEST(Zelkcli, AModelWhoseFileNameIsNoPascalIdentifierStillCompiles) {
  test::TempFolder folder;
  CopyExample(folder, "decay");
  for (const char* ext : {".mod", ".dim"})
    std::filesystem::rename(folder.File(std::string("decay") + ext),
                            folder.File(std::string("first-order decay") + ext));
  CliRun run = Cli("fit '" + folder.File("first-order decay.mod") + "' " +
                   folder.File("decay.zkd") + " --values 0.35");
  ASSERT_EQ(run.Status, 0) << run.Out;
  // The library is kept among the compiled models under the identifier's name.
  const auto cached = FilesIn(CacheHome() / "zelk" / "models");
  EXPECT_TRUE(std::any_of(cached.begin(), cached.end(), [](const std::string& name) {
    return name.rfind("first_order_decay-", 0) == 0 && name.size() == 18 + 16 + 4;
  })) << run.Out;
}

TEST(Zelkcli, FitSearchesReachTheRateConstantAndSayWhyTheyStopped) {
  test::TempFolder folder;
  const std::string files = ExampleFiles(folder, "decay");
  CliRun optimize = Cli("fit " + files + " --search optimize --values 3 --calls 800 --json");
  ASSERT_EQ(optimize.Status, 0) << optimize.Out;
  const Json best = JsonLine(optimize);
  EXPECT_EQ(best["search"], "optimize");
  EXPECT_EQ(best["stop"], "calls");
  EXPECT_EQ(best["trials"], 800);
  EXPECT_EQ(best["total_calls"], 801);
  // Trials dropped early are no failures: the decay model never fails.
  EXPECT_EQ(best["failed_calls"], 0);
  EXPECT_GT(best["abandoned_calls"].get<int>(), 0) << optimize.Out;
  const double fitted = best["values"][0];
  EXPECT_NEAR(fitted, 0.352, 0.003);

  // Gauss-Newton ends by itself once a step cannot improve; the F-limit sides by their rules.
  const std::string report = folder.File("gn.rtf");
  CliRun gn = Cli("fit " + files + " --search gn --values 3 --stats --flimits --calls 100000 " +
                  "--report " + report + " --json");
  ASSERT_EQ(gn.Status, 0) << gn.Out;
  const Json g = JsonLine(gn);
  // Two experiments of 8 events, one missing value: 13 residuals, 13 - 1 - 1 = 11 degrees.
  EXPECT_EQ(g["observations"], 13);
  EXPECT_EQ(g["dof"], 11);
  EXPECT_EQ(g["t_value"], 2.201);
  EXPECT_EQ(g["correlations"], Json::parse("[[1.0]]"));
  EXPECT_EQ(g["covariance_determinant"], 1.0);
  EXPECT_EQ(g["search"], "gn");
  EXPECT_EQ(g["stop"], "stall") << gn.Out;
  const double value = g["values"][0];
  EXPECT_NEAR(value, fitted, 2e-3);
  // F(p, N - p) = F(1, 12); near the optimum the profile is a parabola, so the interval is the
  // t interval with t^2 / 11 replaced by F / 12 (the t variance divides by N - 1 - p).
  EXPECT_EQ(g["f_value"], 4.75);
  EXPECT_EQ(g["flimit_stops"], Json({"finished", "finished"}));
  // The profile: ascending values, the centre among them at the best objective, every point
  // inside [lo, hi] at or below the threshold, some beyond the limits above it.
  const Json& profile = g["profiles"][0];
  ASSERT_GE(profile.size(), 3u) << profile;
  const double threshold = g["limit_objective"];
  bool above = false;
  for (std::size_t i = 0; i < profile.size(); ++i) {
    const double v = profile[i][0], objective = profile[i][1];
    if (i > 0) {
      EXPECT_LE(profile[i - 1][0].get<double>(), v);
    }
    if (v >= g["lo_flimits"][0].get<double>() && v <= g["hi_flimits"][0].get<double>()) {
      EXPECT_LE(objective, threshold * (1 + 1e-12)) << v;
    }
    above = above || objective > threshold;
  }
  EXPECT_TRUE(above) << profile;
  const double lo = g["lo_flimits"][0], hi = g["hi_flimits"][0], halfT = g["std_errors"][0];
  EXPECT_LT(lo, value);
  EXPECT_GT(hi, value);
  EXPECT_NEAR(hi - lo, 2 * halfT * std::sqrt(4.75 * 11 / 12) / 2.201, 0.05 * halfT);
  EXPECT_NEAR(g["standard_errors"][0].get<double>(), halfT / 2.201, 1e-12 * halfT);
  // The report's column holds the half-widths computed, and says so.
  std::string text;
  ASSERT_TRUE(ReadRtfText(ReadText(report), text));
  EXPECT_NE(text.find("\t" + FormatSignificant(halfT, 8) + "\t"), std::string::npos) << text;
  EXPECT_NE(text.find("\nStd. Error: 95 % half-width, t(ν) × standard error, ν = 11\n"),
            std::string::npos)
      << text;

  CliRun stall = Cli("fit " + files + " --search lj --values 0.352 --stall 50 --fixed 1");
  ASSERT_EQ(stall.Status, 0) << stall.Out;
  EXPECT_EQ(stall.Out.rfind(
                "Search lj ended (stall) after 51 trials, 0 failed, 0 abandoned early; model calls "
                "total 52, successful 1",
                0),
            0u)
      << stall.Out;
  EXPECT_NE(stall.Out.find("Parameters: 0.3520000\n"), std::string::npos) << stall.Out;
}

// Levenberg-Marquardt reaches Gauss-Newton's optimum on every shipped example from a good
// start and from one 5x off in every rate constant; on the autocatalytic chain Gauss-Newton
// does not get there from that start. The report names the search.
TEST(Zelkcli, LevenbergMarquardtConvergesOnTheExamplesWhereGaussNewtonMayNot) {
  const struct {
    const char* model;
    const char* good;
    const char* far;
    bool gnFailsFar;
  } cases[] = {{"decay", "0.35", "1.75", false},
               {"abc", "0.6,0.25", "3,1.25", false},
               {"mm", "0.5,1", "2.5,5", false},
               {"autocatalysis", "0.05,1.2,0.3", "0.25,6,1.5", true}};
  for (const auto& c : cases) {
    test::TempFolder folder;
    const std::string files = ExampleFiles(folder, c.model);
    auto fit = [&](const char* search, const char* start, const std::string& more = "") {
      CliRun run = Cli("fit " + files + " --search " + search + " --values " + start + more +
                       " --json");
      EXPECT_EQ(run.Status, 0) << c.model << " " << search << run.Out;
      return run.Status == 0 ? JsonLine(run) : Json::object({{"objective", -1.0}});
    };
    const double best = fit("gn", c.good)["objective"];
    const std::string report = folder.File("lm.rtf");
    const Json near = fit("lm", c.good, " --report " + report);
    const Json far = fit("lm", c.far);
    EXPECT_EQ(near["stop"], "converged") << c.model;
    EXPECT_EQ(far["stop"], "converged") << c.model;
    EXPECT_NEAR(near["objective"].get<double>() / best, 1, 1e-8) << c.model;
    EXPECT_NEAR(far["objective"].get<double>() / best, 1, 1e-8) << c.model;
    EXPECT_EQ(far["failed_calls"], 0) << c.model;
    if (c.gnFailsFar) {
      EXPECT_GT(fit("gn", c.far)["objective"].get<double>(), 10 * best);
    }
    std::string text;
    ASSERT_TRUE(ReadRtfText(ReadText(report), text));
    EXPECT_NE(text.find("\nSearch: Optimize LM (converged)\n"), std::string::npos) << text;
  }
}

// The stiff integrator: the non-stiff examples reach the same optimum with either; Robertson's
// reaction, where Merson gives up, fits from twice the answer with BDF.
TEST(Zelkcli, BdfGivesTheSameOptimaAndFitsWhatMersonCannot) {
  for (const auto& [model, start] : {std::pair{"decay", "0.35"}, std::pair{"abc", "0.6,0.25"}}) {
    test::TempFolder folder;
    const std::string files = ExampleFiles(folder, model);
    double objective[2] = {};
    for (int bdf : {0, 1}) {
      CliRun run = Cli("fit " + files + " --search lm --values " + start +
                       (bdf ? " --integrator bdf --rtol 1e-9 --atol 1e-12" : "") + " --json");
      ASSERT_EQ(run.Status, 0) << run.Out;
      objective[bdf] = JsonLine(run)["objective"];
    }
    EXPECT_NEAR(objective[1] / objective[0], 1, 1e-3) << model;
  }
  test::TempFolder folder;
  const std::string files = ExampleFiles(folder, "robertson") + " --max 1,1e12,1e12";
  CliRun merson = Cli("fit " + files + " --values 0.04,3e7,1e4 --json");
  EXPECT_EQ(JsonLine(merson)["outcome"], "precision not reached") << merson.Out;
  CliRun bdf = Cli("fit " + files + " --values 0.08,6e7,2e4 --integrator bdf --rtol 1e-8 " +
                   "--atol 1e-14 --objective weighted --search lm --json");
  ASSERT_EQ(bdf.Status, 0) << bdf.Out;
  const Json fit = JsonLine(bdf);
  EXPECT_EQ(fit["stop"], "converged");
  const double rates[] = {0.04, 3e7, 1e4};
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(fit["values"][i].get<double>() / rates[i], 1, 1e-3) << i;
  // Sensitivity Jacobians: the same standard errors as differences, to three digits.
  const std::string abc = ExampleFiles(folder, "abc");
  std::vector<double> errors[2];
  for (const char* jacobian : {"differences", "sensitivities"}) {
    CliRun run = Cli("fit " + abc + " --values 0.6,0.25 --search lm " +
                     "--integrator bdf --rtol 1e-10 --atol 1e-12 --stats --jacobian " + jacobian +
                     " --json");
    ASSERT_EQ(run.Status, 0) << run.Out;
    errors[jacobian[0] == 's'] = JsonLine(run)["standard_errors"].get<std::vector<double>>();
  }
  for (int i = 0; i < 2; ++i) EXPECT_NEAR(errors[1][i] / errors[0][i], 1, 1e-3) << i;
  const std::pair<const char*, const char*> refused[] = {
      {"--integrator bdf --rtol 0.5", "--rtol takes a tolerance from 1e-14 to 0.01, not \"0.5\""},
      {"--search lm --ftol 0", "--ftol takes a tolerance from 1e-16 to 0.1, not \"0\""}};
  for (const auto& [options, said] : refused) {
    CliRun loose = Cli("fit " + files + " " + options);
    EXPECT_EQ(loose.Status, 1);
    EXPECT_NE(loose.Out.find(said), std::string::npos) << loose.Out;
  }
  // LM's tolerances: a loose objective tolerance ends it in fewer iterations; tolerances so
  // loose that a Gauss-Newton step still takes most of the objective off end it "stalled",
  // which is no fit.
  std::vector<long> trials;
  for (const char* ftol : {"1e-2", "1e-12"}) {
    CliRun run = Cli("fit " + abc + " --values 1.2,0.5 --search lm --json --ftol " + ftol);
    ASSERT_EQ(run.Status, 0) << run.Out;
    trials.push_back(JsonLine(run)["trials"].get<long>());
  }
  EXPECT_LT(trials[0], trials[1]);
  CliRun stalled = Cli("fit " + abc + " --values 1.2,0.5 --search lm --json --ftol 0.1 --xtol 0.1");
  EXPECT_EQ(stalled.Status, 1);
  const Json line = JsonLine(stalled);
  EXPECT_EQ(line["stop"], "stalled");
  EXPECT_EQ(line["error"].get<std::string>().rfind("the search ended as \"stalled\"", 0), 0u) << line;
}

TEST(Zelkcli, AfterTheFitItTestsTheResidualsDesignsPointsAndWritesTheReport) {
  test::TempFolder folder;
  const std::string files = ExampleFiles(folder, "decay");
  const std::string report = folder.File("decay.rtf");
  CliRun run = Cli("fit " + files + " --search gn --values 3 --residual-test --design 2,0,12 " +
                   "--report " + report + " --json");
  ASSERT_EQ(run.Status, 0) << run.Out;
  const Json fit = JsonLine(run);
  EXPECT_NEAR(fit["d_statistics"][0].get<double>(), 2.135, 0.005) << run.Out;
  EXPECT_EQ(fit["autocorrelation"], Json({"Insignificant"}));
  EXPECT_EQ(fit["design_stop"], "finished") << run.Out;
  ASSERT_EQ(fit["design_points"].size(), 2u);
  const double a = fit["design_points"][0], b = fit["design_points"][1];
  EXPECT_LE(a, b);
  EXPECT_GE(a, 0);
  EXPECT_LE(b, 12);
  EXPECT_GE(fit["design_iterations"].get<int>(), 2 * 5000 + 49);
  std::ifstream rtf(report);
  std::string head(6, ' ');
  rtf.read(head.data(), 6);
  EXPECT_EQ(head, "{\\rtf1");

  CliRun bad = Cli("fit " + files + " --design 0,1,2");
  EXPECT_EQ(bad.Status, 1);
  EXPECT_NE(bad.Out.find("--design takes N,MIN,MAX"), std::string::npos) << bad.Out;
}

TEST(Zelkcli, FitStartsFromAParameterFileAndWritesOne) {
  test::TempFolder folder;
  const std::string files = ExampleFiles(folder, "decay");
  const std::string par = folder.File("fit.par");
  CliRun fit = Cli("fit " + files + " --search gn --values 3 --save-params " + par + " --json");
  ASSERT_EQ(fit.Status, 0) << fit.Out;
  std::ifstream in(par, std::ios::binary | std::ios::ate);
  EXPECT_EQ(static_cast<long>(in.tellg()), 9504);
  // Started from the saved record, the fitted value comes back without a search.
  CliRun again = Cli("fit " + files + " --params " + par + " --json");
  ASSERT_EQ(again.Status, 0) << again.Out;
  EXPECT_EQ(JsonLine(again)["values"], JsonLine(fit)["values"]);
  CliRun missing = Cli("fit " + files + " --params " + folder.File("none.par"));
  EXPECT_EQ(missing.Status, 1);
  EXPECT_NE(missing.Out.find("File Open Failed!"), std::string::npos) << missing.Out;
}

TEST(Zelkcli, FitWritesTheChartOfTheFittedModelByTheExtension) {
  test::TempFolder folder;
  const std::string files = ExampleFiles(folder, "decay");
  struct Case {
    std::string name, start;
    bool needsQt;
  };
  const Case cases[] = {{"chart.emf", std::string("\x01\0\0\0", 4), false},
                        {"chart.png", "\x89PNG", true},
                        {"chart.svg", "<?xml", true}};
  for (const Case& c : cases) {
    CliRun run = Cli("fit " + files + " --values 0.352 --chart " + folder.File(c.name) +
                     " --chart-size 640x480");
    if (c.needsQt && !ZELKCLI_DRAWS_PICTURES) {
      EXPECT_EQ(run.Status, 1);
      EXPECT_NE(run.Out.find("only as .emf"), std::string::npos) << run.Out;
      continue;
    }
    ASSERT_EQ(run.Status, 0) << run.Out;
    const std::string bytes = ReadText(folder.File(c.name));
    EXPECT_EQ(bytes.substr(0, c.start.size()), c.start) << c.name;
    if (c.name == "chart.svg") {
      EXPECT_NE(bytes.find("width=\"640\" height=\"480\""), std::string::npos);
      EXPECT_NE(bytes.find("<polyline"), std::string::npos) << "the fitted curve";
    }
  }
}

TEST(Zelkcli, FitReportsWhatKeptTheModelFromRunning) {
  test::TempFolder folder;
  CopyExample(folder, "decay");
  WriteText(
      folder.File("broken.mod"),
      "language = pascal\ndeclar\nend declar\nstatic\nend static\ndynamic\n dy^[1] := -q;\nend "
      "dynamic\n");
  std::filesystem::copy_file(folder.File("decay.dim"), folder.File("broken.dim"));
  WriteText(folder.File("zero.mod"),
            "language = pascal\ndeclar\nend declar\nstatic\nend static\ndynamic\n "
            "dy^[1] := -p^[1]*y^[1]/(p^[1]-p^[1]);\nend dynamic\n");
  std::filesystem::copy_file(folder.File("decay.dim"), folder.File("zero.dim"));
  // A library left by an earlier build of the same name is never used.
  std::filesystem::copy_file(std::string(MODEL_DIR) + "/decay.dll", folder.File("broken.dll"));
  struct Case {
    std::string args;
    std::string text;
  } cases[] = {
      {"fit " + folder.File("broken.mod") + " " + folder.File("decay.zkd"),
       "broken.mod(7,13) Error: Identifier not found \"q\"\n"},
      // The compiler's messages come first on standard error, then the one that points there.
      {"fit " + folder.File("broken.mod") + " " + folder.File("decay.zkd"),
       "\nzelkcli: " + FillPlaceholders(msg::kModelNotCompiledTerminal, {"broken.mod", "1"}) +
           "\n"},
      {"fit " + folder.File("broken.mod") + " " + folder.File("decay.zkd") + " --calls 0",
       "--calls takes a count"},
      {"fit " + folder.File("none.mod") + " " + folder.File("decay.zkd"),
       "cannot read the model file"},
      {"fit " + folder.File("decay.mod") + " " + folder.File("decay.zkd") + " --values 1,x",
       "\"x\" is not a number"},
      {"fit " + folder.File("decay.mod") + " " + folder.File("decay.zkd") + " --objective box",
       "--objective is ss, box-draper, weighted or likelihood"},
      {"fit " + folder.File("decay.mod"), "usage: zelkcli fit"},
      // Every start's model faults: no fit, however the start values solve.
      {"fit " + folder.File("zero.mod") + " " + folder.File("decay.zkd") + " --starts 3",
       "no start of the multi-start ended with an objective"},
      {"fit " + folder.File("decay.mod") + " " + folder.File("decay.zkd") + " --search bfgs",
       "--search is none, optimize, lj, wl, gn or lm"},
      {"fit " + folder.File("decay.mod") + " " + folder.File("decay.zkd") + " --fixed 4",
       "no parameter number"},
      {"fit " + folder.File("decay.mod") + " " + folder.File("decay.zkd") + " --chart-size 10x5",
       "--chart-size takes WIDTHxHEIGHT"},
      {"fit " + folder.File("decay.mod") + " " + folder.File("decay.zkd") + " --chart " +
           folder.File("missing/chart.emf"),
       "Cannot write the fit chart to"},
  };
  for (const auto& c : cases) {
    CliRun run = Cli(c.args);
    EXPECT_EQ(run.Status, 1) << c.args;
    EXPECT_NE(run.Out.find(c.text), std::string::npos) << c.args << ": " << run.Out;
  }
}

TEST(Zelkcli, FitsEachDataSetInTurnAndSaysWhichFailedAndWhy) {
  test::TempFolder folder;
  CopyExample(folder, "decay");
  const std::string zkd = folder.File("decay.zkd"), csv = folder.File("decay.csv"),
                    none = folder.File("none.zkd"), model = folder.File("decay.mod");
  ASSERT_EQ(Cli("convert " + zkd + " " + csv).Status, 0);
  CliRun run = Cli("fit " + model + " " + zkd + " " + none + " --values 0.35 --json --data " + csv);
  EXPECT_EQ(run.Status, 1);
  const auto lines = JsonLines(run.Out);
  ASSERT_EQ(lines.size(), 3u) << run.Out;
  EXPECT_EQ(lines[0]["data"], zkd);
  EXPECT_EQ(
      lines[1],
      Json({{"data", none},
            {"error", FillPlaceholders(msg::kCannotOpen, {none, "No such file or directory"})}}));
  EXPECT_EQ(lines[2]["data"], csv);
  EXPECT_EQ(lines[2]["objective"], lines[0]["objective"]);
  EXPECT_EQ(lines[2]["values"], Json({0.35}));

  CliRun text = Cli("fit " + model + " " + zkd + " " + csv + " --values 0.35");
  EXPECT_EQ(text.Status, 0) << text.Out;
  EXPECT_EQ(text.Out.rfind("Data: " + zkd + "\nObjective (sum of squares): ", 0), 0u) << text.Out;
  EXPECT_NE(text.Out.find("\n\nData: " + csv + "\nObjective"), std::string::npos) << text.Out;
}

// Runs side by side on one model never meet a library another run is still writing.
TEST(ZelkcliConcurrency, AHundredFitsOfOneModelTenAtATimeAllAgree) {
  test::TempFolder folder;
  const std::string files = ExampleFiles(folder, "decay");
  const std::string out = folder.File("out");
  std::filesystem::create_directories(out);
  const std::string fit =
      "XDG_CONFIG_HOME=/nonexistent/zelk-test XDG_CACHE_HOME=" + folder.File("cache") + " " +
      ZELKCLI + " fit " + files + " --values 0.35 --json";
  CliRun runs =
      test::RunCommand("seq 100 | xargs -P10 -I{} sh -c '" + fit + " > " + out + "/{}.json 2>&1'");
  EXPECT_EQ(runs.Status, 0) << runs.Out;
  std::set<Json> objectives;
  for (int i = 1; i <= 100; ++i) {
    const std::string text = ReadText(out + "/" + std::to_string(i) + ".json");
    const auto lines = JsonLines(text);
    ASSERT_EQ(lines.size(), 1u) << i << ": " << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << i << ": " << text;
    EXPECT_EQ(lines[0]["result"], 0) << text;
    objectives.insert(lines[0]["objective"]);
  }
  EXPECT_EQ(objectives.size(), 1u);
  EXPECT_EQ(FilesIn(folder.Path()),
            (std::set<std::string>{"decay.mod", "decay.dim", "decay.zkd", "out", "cache"}));
}

}  // namespace
}  // namespace zelk

namespace zelk {
namespace {

// Far beyond the classic sizes: 200 named parameters, 600 responses, 20 000 events. Each
// response decays from 1 (the first event's values) at its own rate, y_i = exp(-p_k t),
// measured exactly once in 600 events; the solution reproduces them and the parameter table
// survives a save and a reload.
TEST(Zelkcli, SolvesAndKeepsAProblemOf200Parameters600ResponsesAnd20000Events) {
  constexpr int kParams = 200, kResponses = 600, kEvents = 20000;
  test::TempFolder folder;
  std::string names = "language = pascal\nnames\n parameters";
  for (int k = 1; k <= kParams; ++k) names += " k" + std::to_string(k);
  names += "\n responses";
  for (int i = 1; i <= kResponses; ++i) names += " s" + std::to_string(i);
  WriteText(folder.File("wide.mod"),
            names + "\nend names\ndeclar\n i : integer;\nend declar\nstatic\nend static\n"
                    "dynamic\n for i := 1 to 600 do dy^[i] := -p^[(i - 1) mod 200 + 1]*y^[i];\n"
                    "  d_s600 := -k200*s600;\nend dynamic\n");
  std::vector<std::uint8_t> dim;
  for (std::int32_t n : {0, kResponses, kParams, 1, kResponses}) AppendInt32(dim, n);
  WriteText(folder.File("wide.dim"), std::string(dim.begin(), dim.end()));
  const auto rate = [](int k) { return 0.1 + 0.001 * k; };
  std::string values, csv = "X[1]";
  for (int k = 1; k <= kParams; ++k) values += (k > 1 ? "," : "") + ExactText(rate(k));
  for (int i = 1; i <= kResponses; ++i) csv += ",Y[" + std::to_string(i) + "]";
  csv += "\n";
  for (int j = 0; j < kEvents; ++j) {
    const double t = j * 0.001;
    const int i = j % kResponses + 1;
    if (j == 0) {
      csv += "0";
      for (int r = 1; r <= kResponses; ++r) csv += ",1";
      csv += "\n";
      continue;
    }
    csv += ExactText(t) + std::string(i, ',') + ExactText(std::exp(-rate((i - 1) % kParams + 1) * t)) +
           std::string(kResponses - i, ',') + "\n";
  }
  WriteText(folder.File("wide.csv"), csv);
  // A sanitized build on a busy machine may need more than the 10 s a solution gets by default.
  WriteText(folder.File("zelk20.ini"), "[values]\nModelTimeLimit=3600\n");
  const auto Cli = [&](const std::string& args) {
    return test::RunCommand("XDG_CONFIG_HOME=" + folder.Path().string() + " XDG_CACHE_HOME=" +
                            CacheHome().string() + " " + std::string(ZELKCLI) + " " + args);
  };
  const std::string fit = "fit " + folder.File("wide.mod") + " " + folder.File("wide.csv");
  CliRun run = Cli(fit + " --values " + values + " --save-params " + folder.File("wide.par") +
                   " > " + folder.File("out.txt"));
  ASSERT_EQ(run.Status, 0) << ReadText(folder.File("out.txt")).substr(0, 2000);
  std::istringstream out(ReadText(folder.File("out.txt")));
  std::string line;
  std::getline(out, line);
  ASSERT_EQ(line.rfind("Objective (sum of squares): ", 0), 0u) << line;
  EXPECT_LT(std::stod(line.substr(28)), 1e-9);
  // The table says its own size; read back it gives the same values.
  EXPECT_EQ(ReadText(folder.File("wide.par")).rfind("ZELK PARAMETERS 2\nCount 200\n", 0), 0u);
  run = Cli(fit + " --params " + folder.File("wide.par") + " --save-params " +
            folder.File("again.par") + " > " + folder.File("out.txt"));
  ASSERT_EQ(run.Status, 0) << ReadText(folder.File("out.txt")).substr(0, 2000);
  EXPECT_EQ(ReadText(folder.File("again.par")), ReadText(folder.File("wide.par")));
}

}  // namespace
}  // namespace zelk

namespace zelk {
namespace {

// Starts in parallel, and the same starts as two shards merged: one answer.
TEST(Zelkcli, MultiStartShardsMergeIntoTheResultOfOneRun) {
  test::TempFolder folder;
  const std::string fit = "fit " + std::string(EXAMPLES) + "/abc.mod " + std::string(EXAMPLES) +
                          "/abc.zkd --starts 6 --seed 5 --jobs 2 --min 0.01,0.01 --max 10,10 "
                          "--scale log10 --json";
  const Json one = JsonLine(Cli(fit + " --report " + folder.File("starts.rtf")));
  ASSERT_EQ(one["starts"].size(), 6u) << one.dump();
  std::string report;
  ASSERT_TRUE(ReadRtfText(ReadText(folder.File("starts.rtf")), report));
  EXPECT_NE(report.find("Multi-start: " + std::to_string(one["reached_best"].get<int>()) +
                        " of 6 starts reached the best objective (0 failed)"),
            std::string::npos)
      << report;
  for (const char* shard : {"1/2", "2/2"}) {
    const CliRun run = Cli(fit + " --shard " + shard);
    WriteText(folder.File(std::string("shard") + shard[0] + ".json"), run.Out);
  }
  const Json merged = JsonLine(Cli("merge " + folder.File("shard1.json") + " " + folder.File("shard2.json")));
  const auto withoutSeconds = [](Json starts) {
    for (Json& s : starts) s.erase("seconds");
    return starts;
  };
  EXPECT_EQ(withoutSeconds(merged["starts"]), withoutSeconds(one["starts"]));
  EXPECT_EQ(merged["reached_best"], one["reached_best"]);
  EXPECT_GE(one["reached_best"].get<int>(), 2);
  // The fit is the best start's, and start 1 began at the model's values.
  EXPECT_EQ(one["objective"], one["best_objective"]);
  for (const Json& s : one["starts"]) {
    if (s["start"] == 1) {
      EXPECT_EQ(s["start_values"], (Json{1.0, 1.0}));
    }
  }
}

// A batch system's time limit (SIGTERM) ends a multi-start as Stop does in the window: the
// finished starts are written, and the run says it was cut short.
TEST(Zelkcli, AMultiStartStoppedByASignalWritesTheStartsThatFinished) {
  const std::string model = std::string(EXAMPLES) + "/abc.mod " + std::string(EXAMPLES) + "/abc.zkd";
  ASSERT_EQ(Cli("fit " + model).Status, 0);  // compiled once, so the clock runs on the starts
  const CliRun run = test::RunCommand(
      "XDG_CONFIG_HOME=/nonexistent/zelk-test XDG_CACHE_HOME=" + CacheHome().string() +
      " timeout --preserve-status -s TERM 3 " + std::string(ZELKCLI) + " fit " + model +
      " --starts 100000 --jobs 2 --min 0.01,0.01 --max 10,10 --scale log10 --json");
  EXPECT_EQ(run.Status, 1) << run.Out;
  const Json line = JsonLine(run);
  EXPECT_NE(line.value("error", "").find("stopped by a signal"), std::string::npos) << run.Out;
  EXPECT_GT(line["starts"].size(), 0u);
  EXPECT_LT(line["starts_run"].get<int>(), 100000);
  EXPECT_EQ(line["starts_total"], 100000);
}

}  // namespace
}  // namespace zelk
