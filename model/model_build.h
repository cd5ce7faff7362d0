#pragma once
// A model built to its end without a window (a batch run): the text translated, its library
// source written into a folder of the caller's, the compile script run there and its log read.

#include <string>
#include <vector>

#include "model/model_language.h"

namespace zelk {

struct ModelBuild {
  std::string Library;  // the library built in the folder; empty when there is none
  // The text's index warnings, then the compiler's lines placed in the model text.
  std::vector<std::string> Messages;
  std::string Error;  // why there is no library
};

// `modelName` is the model file's name ("decay.mod"): the source and the library are named
// after it, and the compiler's messages point into it.
ModelBuild BuildModelLibrary(const std::string& modelText, const std::string& modelName,
                             const std::string& folder, const std::string& compiler,
                             const ModelCounts& counts);

}  // namespace zelk
