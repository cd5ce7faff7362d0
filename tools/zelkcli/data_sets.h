#pragma once
// zelkcli's documents: data files read and written as the window's Open and Save do, and the
// one line on standard error every message becomes.

#include <string>

#include "base/data_set.h"
#include "estimation/dimension_file.h"

namespace zelk {

// `text` with its line breaks as blanks: one line of standard error.
std::string OneLine(const std::string& text);
// "zelkcli: " and the line on standard error.
void Tell(const std::string& text);

// `value` within the range of `d`; a value outside is clamped and told, as the Dimension page
// does.
int CountWithin(Dimension d, long long value);

// A data file (.zkd, .gr2 or .csv) into `data`, its counts included; "" or why not.
std::string ReadDataSet(const std::string& path, TDataSet& data);
// The data set as a .zkd file; "" or why not.
std::string WriteDataSet(const std::string& path, const TDataSet& data);

}  // namespace zelk
