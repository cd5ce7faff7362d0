#pragma once
// zelkcli fit: compiles a model with the window's own code, then solves it once for given
// parameter values or fits them with one of the searches, and prints what came out.

#include <string>
#include <vector>

#include "tools/zelkcli/console_ui.h"
#include "workspace/workspace.h"

namespace zelk {

int Fit(Workspace& ws, ConsoleUi& ui, const std::vector<std::string>& args);

}  // namespace zelk
