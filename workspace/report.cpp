#include "workspace/report.h"

#include <algorithm>
#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

#include "base/format.h"

namespace zelk {

namespace {

constexpr int S = kReportFontSize;

// Appends lines in the font set last, as the report box inserts text.
class ReportWriter {
 public:
  void Font(int size, bool bold = false, bool italic = false, bool underline = false) {
    font_ = {"", size, bold, italic, underline};
  }
  void Line(const std::string& text = {}) {
    lines_.emplace_back();
    Append(text);
  }
  // More text on the last line, in the current font.
  void Append(const std::string& text) {
    if (text.empty()) return;
    RichRun run = font_;
    run.Text = text;
    lines_.back().push_back(run);
  }
  std::vector<RichLine> Take() { return std::move(lines_); }

 private:
  RichRun font_;
  std::vector<RichLine> lines_;
};

std::string FS(double x, int n) { return FormatSignificant(x, n); }

}  // namespace

std::vector<RichLine> BuildReport(const ReportInputs& in) {
  const TParameterRecord& p = in.Parameters;
  ReportWriter w;
  w.Font(S - 1);
  w.Line(in.TimeAndDate);
  w.Line();
  w.Font(S + 2, true, true, true);
  w.Line("Zelk 3.0 - Report");
  w.Font(S - 1, false, true);
  w.Line();
  w.Line("Model:\t" + in.ModelFileName);
  w.Line("Data:\t" + in.DataFileName);
  w.Line();
  w.Font(S, true);
  w.Line("Objective Function = " + FormatGeneral(in.BestObjective, 15));
  w.Line();
  w.Font(S, true, false, true);
  w.Line("Parameter Settings:");
  w.Line();
  w.Font(S, true);
  w.Line("\tMinimum \t\tInit. Est.\tMaximum   ");
  w.Font(S);
  for (int i = 1; i <= p.Count; ++i)
    w.Line(std::to_string(i) + ".\t" + FS(p.MinBound[i], 8) + "\t" + FS(p.InitialValue[i], 8) +
           "\t" + FS(p.MaxBound[i], 8));
  w.Line();
  w.Font(S, true, false, true);
  w.Line("Estimated Parameters:");
  w.Line();
  w.Font(S, true);
  w.Line("\tValue   \t\tStd. Error\tLo F-Limit\tHi F-Limit");
  w.Font(S);
  for (int i = 1; i <= p.Count; ++i)
    w.Line(std::to_string(i) + ".\t" + FS(p.Value[i], 8) + "\t" + FS(p.StdError[i], 8) + "\t" +
           FS(p.LoFLimit[i], 8) + "\t" + FS(p.HiFLimit[i], 8));
  w.Line();
  w.Line("Normalized Covariances:");
  w.Font(S, true);
  w.Line();
  std::string header = "\t";
  for (int i = 1; i <= p.Count; ++i) header += std::to_string(i) + ".\t";
  w.Line(header);
  for (int i = 1; i <= p.Count; ++i) {
    std::string row = std::to_string(i) + ".";
    for (int j = 1; j <= p.Count; ++j) row += "\t" + FS(in.Correlation[i][j], 3);
    // The first three characters, the label (with its tab after a one-digit label), bold.
    w.Font(S, true);
    w.Line(row.substr(0, 3));
    w.Font(S);
    w.Append(row.substr(std::min<std::size_t>(3, row.size())));
  }
  w.Font(S, true, false, true);
  w.Line();
  w.Line("Residuals:");
  w.Line();
  w.Font(S, true);
  header = "\t";
  for (int r = 1; r <= in.Measured.DepCount; ++r) header += "Y" + std::to_string(r) + "\t";
  w.Line(header);
  w.Font(S);
  for (int j = 1; j <= in.Measured.EventCount; ++j) {
    std::string row = std::to_string(j) + ".";
    for (int r = 1; r <= in.Measured.DepCount; ++r)
      row += "\t" + FS(in.Measured.M[j][r] - in.Measured.C[j][r], 5);
    w.Line(row);
  }
  return w.Take();
}

std::string LocalTimeAndDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::ostringstream out;
  try {
    out.imbue(std::locale(""));
  } catch (const std::runtime_error&) {
    // An unknown locale in the environment: the classic formats.
  }
  out << std::put_time(&local, "%X") << " - " << std::put_time(&local, "%x");
  return out.str();
}

}  // namespace zelk
