#include "presentation/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "base/format.h"
#include "base/messages.h"
#include "support/files.h"
#include "support/model_fixture.h"
#include "support/temp_folder.h"

namespace zelk {
namespace {

std::string Text(const RichLine& line) {
  std::string text;
  for (const RichRun& run : line.Runs) text += run.Text;
  return text;
}

// The line whose text starts with `prefix`, after line `from`.
std::size_t Find(const std::vector<RichLine>& lines, const std::string& prefix,
                 std::size_t from = 0) {
  for (std::size_t i = from; i < lines.size(); ++i)
    if (Text(lines[i]).rfind(prefix, 0) == 0) return i;
  return lines.size();
}

struct Problem {
  TParameterRecord parameters = StartParameterRecord();
  TNormalMatrix correlation{};
  TYData y;
  FitResult fit;
  std::vector<RichLine> Build(const std::string& model = "/m/model.mod") {
    return BuildReport({model, "/d/data.zkd", "12:00:00 - 08/12/2026", 0.082, parameters,
                        correlation, y, 0, "", &fit});
  }
};

TEST(Report, TheCovarianceRowsHaveBoldLabelsOfThreeCharacters) {
  for (int count : {2, 12}) {
    Problem p;
    p.parameters.Count = count;
    for (int i = 1; i <= count; ++i)
      for (int j = 1; j <= count; ++j) p.correlation[i][j] = i == j ? 1 : -0.5;
    const auto lines = p.Build();
    const std::size_t heading = Find(lines, "Normalized Covariances:");
    ASSERT_LT(heading, lines.size());
    std::string header = "\t";
    for (int i = 1; i <= count; ++i) header += std::to_string(i) + ".\t";
    EXPECT_EQ(Text(lines[heading + 2]), header);
    EXPECT_TRUE(lines[heading + 2].Runs[0].Bold);
    const std::vector<RichRun>& row1 = lines[heading + 3].Runs;
    ASSERT_EQ(row1.size(), 2u);
    EXPECT_EQ(row1[0].Text, "1.\t");
    EXPECT_TRUE(row1[0].Bold);
    EXPECT_FALSE(row1[1].Bold);
    EXPECT_EQ(row1[1].Text.substr(0, 5), "1.00\t");
    if (count == 12) {
      const std::vector<RichRun>& row10 = lines[heading + 12].Runs;
      EXPECT_EQ(row10[0].Text, "10.");
      EXPECT_TRUE(row10[0].Bold);
      EXPECT_EQ(row10[1].Text.substr(0, 6), "\t-0.50");
    }
  }
}

TEST(Report, LinesFontsAndResidualsFollowTheLayout) {
  Problem p;
  p.parameters.Count = 1;
  p.parameters.Value[1] = 0.35;
  p.parameters.StdError[1] = 0.0074;
  p.y.DepCount = 3;
  p.y.EventCount = 2;
  p.y.M[1] = {0, 1, 2, 3};
  p.y.C[1] = {0, 0.9, 2, 3.5};
  for (int e = 1; e <= 2; ++e)
    for (int r = 1; r <= 3; ++r) p.y.Defined[e][r] = e == 1 || r != 2;  // one missing value
  // A standard error computed, a lower limit not (yet) searched, an upper one cut short.
  p.parameters.StdErrValid[1] = true;
  p.parameters.HiFValid[1] = true;
  p.parameters.HiFLimit[1] = 0.4;
  p.fit.UpperSides = {LimitSideState::Shown, LimitSideState::Unfinished};
  const auto lines = p.Build();
  EXPECT_EQ(Text(lines[0]), "12:00:00 - 08/12/2026");
  EXPECT_EQ(lines[0].Runs[0].Size, 7);
  EXPECT_EQ(Text(lines[2]), "Zelk 3.0 - Report");
  EXPECT_EQ(lines[2].Runs[0], (RichRun{"Zelk 3.0 - Report", 10, true, true, true}));
  EXPECT_EQ(Text(lines[4]), "Model:\t/m/model.mod");
  EXPECT_TRUE(lines[4].Runs[0].Italic);
  EXPECT_EQ(Text(lines[7]), "Objective Function = 0.082");
  const std::size_t estimated = Find(lines, "Estimated Parameters:");
  EXPECT_EQ(Text(lines[estimated + 2]), "\tValue   \t\tStd. Error\tLo F-Limit\tHi F-Limit");
  EXPECT_EQ(Text(lines[estimated + 3]), "1.\t0.3500000\t0.0074000\t\t0.4000000*");
  EXPECT_EQ(Text(lines[estimated + 4]), msg::kReportLimitCut);
  EXPECT_EQ(Text(lines[estimated + 5]), "");  // no note on errors without their dof
  const std::size_t residuals = Find(lines, "Residuals:");
  EXPECT_EQ(Text(lines[residuals + 2]), "\tY1\tY2\tY3\t");
  EXPECT_EQ(Text(lines[residuals + 3]), "1.\t0.1000\t0.0000\t-0.5000");
  EXPECT_EQ(Text(lines[residuals + 4]), "2.\t0.0000\t#\t0.0000");
  EXPECT_EQ(residuals + 5, lines.size());
  // An untitled model gives the label alone.
  EXPECT_EQ(Text(p.Build("")[4]), "Model:\t");
}

TEST(Report, AWordProcessorSetsEveryCaptionOverItsColumn) {
  if (test::RunCommand("command -v soffice && command -v pdftotext").Status != 0)
    GTEST_SKIP() << "LibreOffice (soffice) or pdftotext is not installed";
  Problem p;
  TParameterRecord& r = p.parameters;
  r.Count = 20;
  for (int i = 1; i <= 20; ++i) {
    r.MinBound[i] = -98765.432;
    r.InitialValue[i] = 0.0012346;
    r.MaxBound[i] = 54321;
    r.Value[i] = -1234.5678;
    r.StdError[i] = 0.00034567;
    r.LoFLimit[i] = -23456.789;
    r.HiFLimit[i] = 9876.5432;
    r.StdErrValid[i] = r.LoFValid[i] = r.HiFValid[i] = true;
  }
  test::TempFolder folder;
  std::string reason;
  ASSERT_TRUE(WriteReport(folder.File("r.rtf"), p.Build(), reason)) << reason;
  // A profile of its own: no first-start dialogs, no clash with a LibreOffice already running.
  const std::string dir = folder.Path().string();
  const test::CommandRun laidOut =
      test::RunCommand("cd '" + dir + "' && soffice -env:UserInstallation=file://" + dir +
                       "/profile --headless --convert-to pdf r.rtf && pdftotext -layout r.pdf");
  ASSERT_EQ(laidOut.Status, 0) << laidOut.Out;
  const std::string text = test::ReadText(folder.File("r.txt"));
  std::vector<std::string> page;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) page.push_back(line);

  struct Column {
    std::string Caption;
    double Value;
  };
  const std::vector<Column> tables[] = {
      {{"Minimum", r.MinBound[1]}, {"Init. Est.", r.InitialValue[1]}, {"Maximum", r.MaxBound[1]}},
      {{"Value", r.Value[1]},
       {"Std. Error", r.StdError[1]},
       {"Lo F-Limit", r.LoFLimit[1]},
       {"Hi F-Limit", r.HiFLimit[1]}}};
  for (const std::vector<Column>& table : tables) {
    const auto header = std::find_if(page.begin(), page.end(), [&](const std::string& line) {
      return line.find(table.back().Caption) != std::string::npos;
    });
    ASSERT_NE(header, page.end()) << text;
    // Rows 1. to 20., across a page break if one falls among them.
    int row = 0;
    for (auto line = header + 1; line != page.end() && row < 20; ++line) {
      std::string label;
      std::istringstream(*line) >> label;
      if (label != std::to_string(row + 1) + ".") continue;
      ++row;
      for (const Column& column : table) {
        // Captions and values are left-aligned on the same stop: they start in one place.
        const std::size_t caption = header->find(column.Caption);
        const std::size_t value = line->find(FormatSignificant(column.Value, 8));
        ASSERT_NE(value, std::string::npos) << *line;
        EXPECT_LE(std::max(caption, value) - std::min(caption, value), 1u)
            << column.Caption << ", row " << row << ":\n"
            << *header << "\n"
            << *line;
      }
      if (HasFailure()) return;  // one row shows it
    }
    EXPECT_EQ(row, 20) << text;
  }
}

TEST(Report, TheProposedNameReplacesTheExtension) {
  const std::pair<const char*, const char*> cases[] = {{"/w/model.mod", "model.rtf"},
                                                       {"", ".rtf"},
                                                       {"/a.b/model", "model.rtf"},
                                                       {"x.tar.gz", "x.tar.rtf"}};
  for (auto [path, name] : cases) EXPECT_EQ(ProposedName(path, ".rtf"), name) << path;
}

std::string ReadWithUnrtf(const std::string& path) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(
      popen(("unrtf --text '" + path + "' 2>/dev/null").c_str(), "r"), pclose);
  if (!pipe) return out;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) out.append(buffer, n);
  // Its text output turns tabs into spaces and line breaks: compare without white space.
  std::erase_if(out, [](unsigned char c) { return std::isspace(c); });
  return out;
}

class ReportCommands : public test::ModelTest {
 protected:
  void SetUp() override {
    TwoParameterProblem("linear", {1, 2, 3, 4}, {3.1, 4.9, 7.2, 8.8}, 1.15, 1.94);
    ws_->Estimation().Ground().InitialEvaluation();
    ws_->StdErr();
    ws_->ModelFileName = "/work/line.mod";
    ui_.Messages.clear();
  }
  test::TempFolder folder_;
};

TEST_F(ReportCommands, ASavedReportOpensInAnIndependentReaderWithItsValues) {
  ws_->ReportPreviewAction();
  EXPECT_EQ(ui_.PagesShown.back(), Page::Report);
  // Under the two estimates, what their "Std. Error" holds: 4 observations - 1 - 2 parameters.
  const std::size_t note = Find(ws_->Report, "Estimated Parameters:") + 5;
  ASSERT_LT(note, ws_->Report.size());
  EXPECT_EQ(Text(ws_->Report[note]), "Std. Error: 95 % half-width, t(ν) × standard error, ν = 1");
  ui_.ReportBox = ws_->Report;
  const std::string path = folder_.File("line.rtf");
  ui_.DialogAnswers.push_back(path);
  ws_->SaveReport();
  ASSERT_EQ(ui_.SaveRequests.size(), 1u);
  EXPECT_EQ(ui_.SaveRequests[0].ProposedName, "line.rtf");
  EXPECT_EQ(ui_.SaveRequests[0].Title, "Save Report ...");
  EXPECT_TRUE(ui_.SaveRequests[0].ConfirmOverwrite);
  EXPECT_TRUE(ui_.Messages.empty());
  const std::string text = ReadWithUnrtf(path);
  ASSERT_FALSE(text.empty()) << "unrtf is missing or read nothing";
  EXPECT_NE(text.find("Zelk3.0-Report"), std::string::npos) << text;
  EXPECT_NE(text.find("Model:/work/line.mod"), std::string::npos) << text;
  EXPECT_NE(text.find("1.1.1500000" + FormatSignificant(ws_->Parameters.StdError[1], 8)),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("ObjectiveFunction=" + FormatGeneral(ws_->Estimation().BestObjective, 15)),
            std::string::npos)
      << text;
  EXPECT_NE(text.rfind("4." + FormatSignificant(8.8 - (1.15 + 4 * 1.94), 5)), std::string::npos)
      << text;
}

TEST_F(ReportCommands, SaveBeforeAnyPreviewWritesAnEmptyDocumentAndAFailedSaveSaysSo) {
  const std::string path = folder_.File("empty.rtf");
  ui_.DialogAnswers.push_back(path);
  ws_->SaveReport();
  std::ifstream in(path);
  const std::string rtf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
  EXPECT_EQ(ReadWithUnrtf(path).find("Report"), std::string::npos);

  ui_.ReportBox = {{{{"kept", 8}}}};
  ui_.DialogAnswers.push_back(folder_.File("no/such/folder/r.rtf"));
  ws_->SaveReport();
  const std::vector<std::string> shown = ui_.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind(std::string(msg::kSaveFailed) + "\n", 0), 0u);
  EXPECT_GT(shown[0].size(), std::string(msg::kSaveFailed).size() + 1);  // with the reason
  // Cancelling the dialog writes nothing.
  ws_->SaveReport();
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(ReportCommands, PrintBuildsTheReportOnlyWhenConfirmed) {
  ws_->PrintReportAction();
  EXPECT_TRUE(ws_->Report.empty());
  ui_.PrintConfirmed = true;
  ws_->PrintReportAction();
  EXPECT_FALSE(ws_->Report.empty());
}

}  // namespace
}  // namespace zelk
