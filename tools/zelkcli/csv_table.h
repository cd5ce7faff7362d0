#pragma once
// The data set as CSV: a header row X[1],...,Y[1],..., one row per event, an empty cell
// for a missing value, '.' as the decimal point. Values are written in the shortest form
// that reads back as the same double.

#include <string>

#include "base/data_set.h"

namespace zelk {

std::string DataSetToCsv(const TDataSet& data);

// Fills counts, values and defined flags of `data`; missing values are stored as 0.
// Returns false with a one-line reason for anything that is not such a table.
bool CsvToDataSet(const std::string& text, TDataSet& data, std::string& error);

// The shortest text that reads back as exactly `value` ("inf", "-inf", "nan" included).
std::string ExactText(double value);

}  // namespace zelk
