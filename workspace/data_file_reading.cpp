// Open Data File: a file read whole and checked is applied through the dimension fields; a
// refused one changes nothing.
#include <algorithm>

#include "workspace/workspace.h"

namespace zelk {

bool Workspace::ReadDataFile(const std::string& path, bool* ioError) {
  return ApplyDataFile(ReadOwnDataFile(path), ioError);
}

bool Workspace::ReadAnyDataFile(const std::string& path, bool* ioError) {
  return ApplyDataFile(zelk::ReadAnyDataFile(path), ioError);
}

bool Workspace::ApplyDataFile(const DataFileRead& read, bool* ioError) {
  if (ioError) *ioError = read.IoError;
  if (!read.Ok()) {
    ShowError(read.Error);
    if (read.Refused) grid_.RewriteFromData();
    return false;
  }
  const DataFileHeader& header = read.Header;
  dimensions_.SetText(Dimension::Indep, std::to_string(header.IndepCount));
  dimensions_.SetText(Dimension::Dep, std::to_string(header.DepCount));
  dimensions_.SetText(Dimension::Events, std::to_string(header.EventCount));
  // The cells the file holds; those beyond its counts keep what they had.
  const TDataSet& from = *read.Data;
  const auto upTo = [](std::int64_t n, int most) { return static_cast<int>(std::clamp<std::int64_t>(n, 0, most)); };
  const int events = upTo(header.EventCount, from.YData.M.Rows());
  Hold(MeasuredData, events, from.XData.X.Columns(), from.YData.M.Columns());
  for (int j = 1; j <= events; ++j) {
    for (int i = 1; i <= upTo(header.IndepCount, from.XData.X.Columns()); ++i) {
      MeasuredData.XData.X[j][i] = from.XData.X[j][i];
      MeasuredData.XData.Defined[j][i] = from.XData.Defined[j][i];
    }
    for (int i = 1; i <= upTo(header.DepCount, from.YData.M.Columns()); ++i) {
      MeasuredData.YData.M[j][i] = from.YData.M[j][i];
      MeasuredData.YData.Defined[j][i] = from.YData.Defined[j][i];
    }
  }
  grid_.RewriteFromData();
  grid_.ForgetEdits();
  return true;
}

}  // namespace zelk
