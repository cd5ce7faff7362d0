#pragma once
// zelkcli fit: compiles a model with the window's own code, then, for each data set in turn,
// solves it once for given parameter values or fits them with one of the searches, and
// prints what came out.

#include <string>
#include <vector>

#include "tools/zelkcli/console_ui.h"
#include "workspace/workspace.h"

namespace zelk {

// Fits every data set named in `args`; 0 when all succeeded.
int Fit(ConsoleUi& ui, const std::vector<std::string>& args);

// The usage lines of fit, as every misuse of its options prints them.
std::string FitUsage();

// A CSV table into the workspace's data set, its counts through the dimension fields as for
// every data file; false after a message.
bool ReadCsvDataFile(Workspace& ws, const std::string& path, std::string& error);

}  // namespace zelk
