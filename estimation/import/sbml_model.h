#pragma once
// An SBML model as far as Zelk can take it: species, compartments, parameters, rules, initial
// assignments, reactions and function definitions, read with libSBML. Events, delays,
// algebraic rules, variable compartments and the like are refused by name and id.

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "estimation/import/formula.h"

namespace zelk {

struct SbmlSpecies {
  std::string Id, Compartment;
  double Initial = 0;          // concentration, or amount when OnlySubstance
  bool OnlySubstance = false;  // the symbol is the amount, not the concentration
  bool Fixed = false;          // boundary or constant: reactions do not change it
};

struct SbmlValue {  // a parameter or compartment
  std::string Id;
  double Value = 0;
  bool Constant = true;
};

struct SbmlRule {
  std::string Variable;
  Formula Math;
};

struct SbmlReaction {
  std::string Id;
  Formula Rate;  // amount per time
  std::vector<std::pair<std::string, double>> Stoichiometry;  // species, net change
  std::vector<SbmlValue> Locals;
};

struct SbmlFunction {
  std::string Id;
  std::vector<std::string> Arguments;
  Formula Body;
};

struct SbmlModel {
  std::string Id;
  std::vector<SbmlSpecies> Species;
  std::vector<SbmlValue> Compartments;
  std::vector<SbmlValue> Parameters;
  std::vector<SbmlRule> AssignmentRules;  // in the file's order
  std::vector<SbmlRule> RateRules;
  std::vector<SbmlRule> InitialAssignments;
  std::vector<SbmlReaction> Reactions;
  std::vector<SbmlFunction> Functions;
};

// Reads an SBML document; refuses (ImportRefusal) what cannot be read or imported.
SbmlModel ReadSbmlModel(const std::string& xml, const std::string& fileName);

}  // namespace zelk
