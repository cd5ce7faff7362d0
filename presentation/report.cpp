#include "presentation/report.h"

#include "estimation/multi_start.h"

#include <algorithm>
#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

#include "base/data_file.h"
#include "base/format.h"
#include "estimation/scales.h"
#include "base/messages.h"

namespace zelk {

namespace {

constexpr int S = kReportFontSize;

// The tables' tab stops in twips. The first column clears the row labels "1." to "20." in
// bold; a column of numbers holds eight significant digits with a sign and a few more integer
// digits, a correlation three, a residual five.
constexpr int kLabelColumn = 480;
constexpr int kNumberColumn = 1440;
constexpr int kCorrelationColumn = 600;
constexpr int kResidualColumn = 1080;

// `count` columns of `width` after the label column.
std::vector<int> Columns(int count, int width) {
  std::vector<int> stops;
  for (int i = 0; i < count; ++i) stops.push_back(kLabelColumn + i * width);
  return stops;
}

// The settings and estimates headers leave an empty cell after their first caption
// ("Minimum \t\t"): a stop of their own just before the second column takes that tab, so the
// captions after it stand over their columns.
std::vector<int> WithEmptyCell(std::vector<int> stops) {
  constexpr int kBeforeColumn = 60;
  stops.insert(stops.begin() + 1, stops[1] - kBeforeColumn);
  return stops;
}

// Appends lines in the font and with the tab stops set last, as the report box inserts text.
class ReportWriter {
 public:
  void Font(int size, bool bold = false, bool italic = false, bool underline = false) {
    font_ = {"", size, bold, italic, underline};
  }
  void Stops(std::vector<int> stops = {}) { stops_ = std::move(stops); }
  void Line(const std::string& text = {}) {
    lines_.push_back({{}, stops_});
    Append(text);
  }
  // More text on the last line, in the current font.
  void Append(const std::string& text) {
    if (text.empty()) return;
    RichRun run = font_;
    run.Text = text;
    lines_.back().Runs.push_back(run);
  }
  std::vector<RichLine> Take() { return std::move(lines_); }

 private:
  RichRun font_;
  std::vector<int> stops_;
  std::vector<RichLine> lines_;
};

bool StdErrorsComputed(const TParameterRecord& p) {
  for (int i = 1; i <= p.Count; ++i)
    if (!p.StdErrValid.at(i)) return false;
  return p.Count > 0;
}

std::string FS(double x, int n) { return FormatSignificant(x, n); }

// "3." or the parameter's name.
std::string RowLabel(const ReportInputs& in, int i) {
  const bool named = in.Names && i <= static_cast<int>(in.Names->Parameters.size());
  return named ? in.Names->Parameters[i - 1] : std::to_string(i) + ".";
}

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
  if (!in.Search.empty()) w.Line("Search: " + in.Search);
  if (in.Fit && !in.Fit->Starts.empty()) {
    int failed = 0;
    for (const StartResult& r : in.Fit->Starts) failed += r.Failed();
    w.Line("Multi-start: " + std::to_string(CountReachingBest(in.Fit->Starts)) + " of " +
           std::to_string(in.Fit->Starts.size()) + " starts reached the best objective (" +
           std::to_string(failed) + " failed)");
  }
  w.Line();
  w.Font(S, true, false, true);
  w.Line("Parameter Settings:");
  w.Line();
  w.Font(S, true);
  w.Stops(WithEmptyCell(Columns(3, kNumberColumn)));
  w.Line("\tMinimum \t\tInit. Est.\tMaximum   ");
  w.Font(S);
  w.Stops(Columns(3, kNumberColumn));
  for (int i = 1; i <= p.Count; ++i)
    w.Line(RowLabel(in, i) + "\t" + FS(p.MinBound[i], 8) + "\t" + FS(p.InitialValue[i], 8) +
           "\t" + FS(p.MaxBound[i], 8));
  w.Stops();
  w.Line();
  w.Font(S, true, false, true);
  w.Line("Estimated Parameters:");
  w.Line();
  w.Font(S, true);
  w.Stops(WithEmptyCell(Columns(4, kNumberColumn)));
  w.Line("\tValue   \t\tStd. Error\tLo F-Limit\tHi F-Limit");
  w.Font(S);
  w.Stops(Columns(4, kNumberColumn));
  // What was not computed is left empty, not printed as 0; a limit cut short is marked.
  bool cut = false;
  const auto limit = [&](int i, bool lower) -> std::string {
    const LimitSideState side = in.Fit ? in.Fit->Side(i, lower) : LimitSideState::Shown;
    if (!(lower ? p.LoFValid : p.HiFValid).at(i) || side == LimitSideState::Pending) return "";
    cut = cut || side == LimitSideState::Unfinished;
    return FS((lower ? p.LoFLimit : p.HiFLimit)[i], 8) + (side == LimitSideState::Unfinished ? "*" : "");
  };
  std::string scaled;
  for (int i = 1; i <= p.Count; ++i) {
    const TScale scale = EffectiveScale(p, i);
    if (scale != TScale::Linear) scaled += (scaled.empty() ? "" : ", ") + RowLabel(in, i) + " " + ScaleName(scale);
    w.Line(RowLabel(in, i) + "\t" + FS(p.Value[i], 8) + "\t" +
           (p.StdErrValid.at(i) ? StdErrorText(scale, p.StdError[i], 8) : "") + "\t" +
           limit(i, true) + "\t" + limit(i, false));
  }
  w.Stops();
  if (cut) w.Line(msg::kReportLimitCut);
  if (!scaled.empty()) w.Line(FillPlaceholders(msg::kReportScaleNote, {scaled}));
  // The column holds confidence half-widths, not standard errors: once computed, a note says so.
  if (in.StdErrorDof > 0 && StdErrorsComputed(p))
    w.Line(FillPlaceholders(msg::kReportStdErrorNote, {std::to_string(in.StdErrorDof)}));
  w.Line();
  w.Line("Normalized Covariances:");
  w.Font(S, true);
  w.Line();
  w.Stops(Columns(p.Count, kCorrelationColumn));
  std::string header = "\t";
  for (int i = 1; i <= p.Count; ++i) header += RowLabel(in, i) + "\t";
  w.Line(header);
  for (int i = 1; i <= p.Count; ++i) {
    const std::string label = RowLabel(in, i);
    std::string row = label;
    for (int j = 1; j <= p.Count; ++j) row += "\t" + FS(in.Correlation[i][j], 3);
    // The label bold: a number label's first three characters (with its tab after one digit).
    const std::size_t bold = in.Names && i <= static_cast<int>(in.Names->Parameters.size()) ? label.size() : 3;
    w.Font(S, true);
    w.Line(row.substr(0, bold));
    w.Font(S);
    w.Append(row.substr(std::min<std::size_t>(bold, row.size())));
  }
  w.Stops();
  w.Font(S, true, false, true);
  w.Line();
  w.Line("Residuals:");
  w.Line();
  w.Font(S, true);
  w.Stops(Columns(in.Measured.DepCount, kResidualColumn));
  header = "\t";
  for (int r = 1; r <= in.Measured.DepCount; ++r) {
    const bool named = in.Names && r <= static_cast<int>(in.Names->Responses.size());
    header += (named ? in.Names->Responses[r - 1] : "Y" + std::to_string(r)) + "\t";
  }
  w.Line(header);
  w.Font(S);
  for (int j = 1; j <= in.Measured.EventCount; ++j) {
    std::string row = std::to_string(j) + ".";
    for (int r = 1; r <= in.Measured.DepCount; ++r)
      row += "\t" + (in.Measured.Defined[j][r] ? FS(in.Measured.M[j][r] - in.Measured.C[j][r], 5)
                                               : std::string("#"));
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

bool WriteReport(const std::string& path, const std::vector<RichLine>& lines, std::string& reason) {
  const std::string rtf = WriteRtfLines(lines, kReportFontFamily);
  return WriteFileReplacing(path, std::vector<std::uint8_t>(rtf.begin(), rtf.end()), reason);
}

}  // namespace zelk
