#pragma once
// The counts and states of the model object that the workspace shows and changes. The
// library handle and the per-model working storage join them when models are loaded.

namespace zelk {

struct TModel {
  int DifEqCount = 0;
  int AlgEqCount = 0;
  bool ModelSaved = true;
  bool ModelCompiled = false;
};

}  // namespace zelk
