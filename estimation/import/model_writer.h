#pragma once
// The model text of an imported model: an SBML model, and what a PEtab problem adds to it
// (fitted parameters, conditions, observables with their noise), written as a Zelk model a
// person could have written: named parameters and responses, the model's quantities in one
// nested procedure, reactions as rates, the initial values in the initial section and the
// observables in the static section.

#include <map>
#include <string>
#include <vector>

#include "estimation/import/sbml_model.h"
#include "model/model_names.h"

namespace zelk {

struct ImportedObservable {
  std::string Id;        // the column's name before it is made unique
  Formula Value, Sigma;  // Sigma null: the data give it
  NoiseDistribution Distribution = NoiseDistribution::Normal;
  NoiseTransform Transform = NoiseTransform::Lin;
  // Placeholders of both formulas and what replaces them: a number's text or an identifier.
  std::map<std::string, std::string> Placeholders;
  std::string Where;  // names it in a refusal
};

struct ModelPlan {
  std::string Heading;  // the comment that opens the text
  // The fitted parameters: SBML parameters or the problem's own, in the table's order.
  std::vector<std::string> Parameters;
  // Values that depend on the condition: target id -> one text per condition (a number, an
  // identifier, or "" where the condition leaves it).
  std::vector<std::string> Conditions;
  std::map<std::string, std::vector<std::string>> ConditionValues;
  bool Preequilibration = false;  // x^[3] names the condition integrated to steady state
  std::vector<ImportedObservable> Observables;
};

struct WrittenModel {
  std::string Text;
  ModelNames Names;
  int States = 0;  // responses 1..States are integrated; then value and sigma of each observable
  std::vector<double> StartValues;  // the states' SBML initial values (NaN: computed)
};

// Refuses (ImportRefusal) a model it cannot write.
WrittenModel WriteModel(const SbmlModel& model, const ModelPlan& plan);

}  // namespace zelk
