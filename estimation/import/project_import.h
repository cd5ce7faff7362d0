#pragma once
// Imports the field's problems as ordinary Zelk projects: an SBML model, or a PEtab problem
// (an SBML model with tables of conditions, observables, measurements and parameters). The
// project is the model text, its counts, the data (conditions as experiments, each measured
// observable a response with a sigma column beside it) and the parameter table.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/data_set.h"
#include "estimation/parameter_record.h"

namespace zelk {

// How long an experiment with pre-equilibration is integrated under its pre-equilibration
// condition before time 0: long enough for the models of the field to reach steady state.
inline constexpr double kPreequilibrationTime = 1e6;

struct ImportedProject {
  std::string Name;  // the files' base name
  std::string ModelText;
  int IndepCount = 1, DepCount = 1, DifEqCount = 0;
  std::unique_ptr<TDataSet> Data;
  TParameterRecord Parameters = StartParameterRecord();
};

// Both throw ImportRefusal with a message naming the element and its id.
ImportedProject ImportSbmlFile(const std::string& xmlPath);
ImportedProject ImportPetabFile(const std::string& yamlPath);
// The text of a problem's file by the name the problem gives it; throws ImportRefusal.
using PetabFiles = std::function<std::string(const std::string& name)>;
ImportedProject ImportPetab(const std::string& yamlName, const PetabFiles& read);
// By the extension: .yaml/.yml a PEtab problem, else an SBML model. "" or why not.
std::string ImportProblem(const std::string& path, ImportedProject& out);

// Writes NAME.mod, NAME.dim, the data (NAME.zkd, or NAME.csv when the .zkd cannot hold it)
// and NAME.par into `dir`, which is made when missing. All or nothing: "" and the paths in
// `written` (model first, then data, parameters, counts), or why not with nothing left behind.
std::string WriteProject(const ImportedProject& project, const std::string& dir,
                         std::vector<std::string>& written);

}  // namespace zelk
