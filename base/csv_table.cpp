#include "base/csv_table.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

#include "base/format.h"
#include "base/messages.h"

namespace zelk {

std::string ExactText(double value) {
  char buffer[64];
  const auto res = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, res.ptr);
}

std::string DataSetToCsv(const TDataSet& data) {
  const int indep = data.XData.IndepCount, dep = data.YData.DepCount;
  std::string out;
  for (int i = 1; i <= indep; ++i) out += (i > 1 ? ",X[" : "X[") + std::to_string(i) + "]";
  for (int i = 1; i <= dep; ++i) out += ",Y[" + std::to_string(i) + "]";
  out += "\n";
  for (int j = 1; j <= data.YData.EventCount; ++j) {
    for (int i = 1; i <= indep; ++i) {
      if (i > 1) out += ',';
      if (data.XData.Defined.at(j).at(i)) out += ExactText(data.XData.X[j][i]);
    }
    for (int i = 1; i <= dep; ++i) {
      out += ',';
      if (data.YData.Defined.at(j).at(i)) out += ExactText(data.YData.M[j][i]);
    }
    out += "\n";
  }
  return out;
}

namespace {

// Splits at commas; false once the line holds more than `maxCells` cells.
bool SplitCells(const std::string& line, std::size_t maxCells, std::vector<std::string>& cells) {
  cells.assign(1, std::string());
  for (char c : line) {
    if (c == ',') {
      if (cells.size() == maxCells) return false;
      cells.emplace_back();
    } else {
      cells.back() += c;
    }
  }
  for (auto& cell : cells) {
    while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\t')) cell.pop_back();
    while (!cell.empty() && (cell.front() == ' ' || cell.front() == '\t')) cell.erase(0, 1);
    if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"')
      cell = cell.substr(1, cell.size() - 2);
  }
  return true;
}

std::optional<double> CellValue(const std::string& cell) {
  if (cell == "inf" || cell == "+inf") return std::numeric_limits<double>::infinity();
  if (cell == "-inf") return -std::numeric_limits<double>::infinity();
  if (cell == "nan" || cell == "-nan") return std::numeric_limits<double>::quiet_NaN();
  return ParseNumber(cell);
}

}  // namespace

bool CsvToDataSet(const std::string& text, TDataSet& data, std::string& error) {
  // A table that fits holds at most the header and kMaxEventCount rows of kMaxCells cells;
  // lines and cells beyond that are refused as they come, so no input makes the reader hoard.
  constexpr std::size_t kMaxCells = 2 * kMaxVariables;
  std::vector<std::string> lines;
  std::size_t blankRun = 0;  // blank lines not yet known to be inside the table
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxCsvLineLength) {
      error = FillPlaceholders(msg::kCsvLineTooLong, {std::to_string(lines.size() + blankRun + 1),
                                                      std::to_string(kMaxCsvLineLength)});
      return false;
    }
    if (line.empty()) {
      ++blankRun;
      continue;
    }
    if (lines.size() + blankRun > static_cast<std::size_t>(kMaxEventCount)) {
      error = FillPlaceholders(msg::kCsvTooManyEvents, {std::to_string(kMaxEventCount)});
      return false;
    }
    lines.insert(lines.end(), blankRun, std::string());
    blankRun = 0;
    lines.push_back(line);
  }
  if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0) lines[0].erase(0, 3);
  if (lines.empty()) {
    error = "the file is empty";
    return false;
  }
  std::vector<std::string> header;
  if (!SplitCells(lines[0], kMaxCells, header)) {
    error = FillPlaceholders(msg::kCsvTooManyCells, {"1", std::to_string(kMaxCells)});
    return false;
  }
  int indep = 0, dep = 0;
  for (const std::string& name : header) {
    if (dep == 0 && name == "X[" + std::to_string(indep + 1) + "]") {
      ++indep;
    } else if (indep > 0 && name == "Y[" + std::to_string(dep + 1) + "]") {
      ++dep;
    } else {
      error = "the header must be X[1],...,X[n],Y[1],...,Y[m]; \"" + name + "\" does not fit";
      return false;
    }
  }
  if (indep < 1 || dep < 1) {
    error = "the header needs at least X[1] and Y[1]";
    return false;
  }
  const int events = static_cast<int>(lines.size()) - 1;
  if (events < 1) {
    error = "a data set has at least one event; the file has none";
    return false;
  }
  if (indep > kMaxVariables || dep > kMaxVariables || !FitsInMemory(events, indep, dep)) {
    error = std::to_string(events) + " events of " + std::to_string(indep) + " independent and " +
            std::to_string(dep) + " dependent variables are more than a data set holds (at most " +
            std::to_string(kMaxVariables) + " variables of each kind, " +
            std::to_string(kMaxDataCells) + " values a block)";
    return false;
  }
  Hold(data, events, indep, dep);
  data.XData.IndepCount = indep;
  data.YData.DepCount = dep;
  data.YData.EventCount = events;
  std::vector<std::string> cells;
  for (int j = 1; j <= events; ++j) {
    if (!SplitCells(lines[j], kMaxCells, cells)) {
      error = FillPlaceholders(msg::kCsvTooManyCells,
                               {std::to_string(j + 1), std::to_string(kMaxCells)});
      return false;
    }
    if (static_cast<int>(cells.size()) != indep + dep) {
      error = "line " + std::to_string(j + 1) + " has " + std::to_string(cells.size()) +
              " cells, the header " + std::to_string(indep + dep);
      return false;
    }
    for (int c = 0; c < indep + dep; ++c) {
      double value = 0;
      bool defined = false;
      if (!cells[c].empty()) {
        const auto parsed = CellValue(cells[c]);
        if (!parsed) {
          error = "line " + std::to_string(j + 1) + ", column " + std::to_string(c + 1) + ": \"" +
                  cells[c] + "\" is not a number";
          return false;
        }
        if (!std::isfinite(*parsed)) {
          // A NaN or an infinity would make every objective NaN.
          const std::string variable = c < indep ? "X[" + std::to_string(c + 1) + "]"
                                                 : "Y[" + std::to_string(c + 1 - indep) + "]";
          error = FillPlaceholders(msg::kCsvNotFinite, {std::to_string(j), variable, cells[c]});
          return false;
        }
        value = *parsed;
        defined = true;
      }
      if (c < indep) {
        data.XData.X[j][c + 1] = value;
        data.XData.Defined[j][c + 1] = defined;
      } else {
        data.YData.M[j][c + 1 - indep] = value;
        data.YData.Defined[j][c + 1 - indep] = defined;
      }
    }
  }
  return true;
}

}  // namespace zelk
