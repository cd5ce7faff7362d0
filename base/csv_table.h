#pragma once
// The data set as CSV: a header row X[1],...,Y[1],..., one row per event, an empty cell
// for a missing value, '.' as the decimal point. Values are written in the shortest form
// that reads back as the same double.

#include <string>

#include "base/data_set.h"

namespace zelk {

std::string DataSetToCsv(const TDataSet& data);

// The longest line a table may hold: 70 cells of any number's text fit many times over.
inline constexpr std::size_t kMaxCsvLineLength = 1 << 21;

// Fills counts, values and defined flags of `data`; missing values are stored as 0.
// Returns false with a one-line reason for anything that is not such a table: among them a
// line longer than kMaxCsvLineLength, more than 70 cells or 1000 events, and a value that is
// not a finite number (named by its event and variable).
bool CsvToDataSet(const std::string& text, TDataSet& data, std::string& error);

// The shortest text that reads back as exactly `value` ("inf", "-inf", "nan" included).
std::string ExactText(double value);

}  // namespace zelk
