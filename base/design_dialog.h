#pragma once
// The dialog "Design next point(s)" as a model: its edits' texts, the criterion choice and
// the validation that runs on every close, OK or Cancel.

#include <string>
#include <utility>

namespace zelk {

inline constexpr int kMaxDesignPoints = 20;

struct DesignDialogModel {
  std::string MinText, MaxText, NrText = "1";
  int Criterion = 0;  // volume, shape, correlation: the search uses the determinant for all
  enum class Field { None, Min, Max, Nr };
  // The field to go back to and the message, or Field::None when the dialog may close.
  std::pair<Field, std::string> Validate() const;
  // Cancel first writes texts that pass the validation.
  void Cancel();
  double Min() const;
  double Max() const;
  int Count() const;
};

}  // namespace zelk
