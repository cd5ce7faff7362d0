#pragma once
// zelkcli fit: builds a model with the window's own translator and compiler, then, for each
// data set in turn, solves it once for given parameter values or fits them with one of the
// searches through the engine's fit call, and prints what came out.

#include <string>
#include <vector>

namespace zelk {

// Fits every data set named in `args`; 0 when all succeeded.
int Fit(const std::vector<std::string>& args);

// The usage lines of fit, as every misuse of its options prints them.
std::string FitUsage();

}  // namespace zelk
