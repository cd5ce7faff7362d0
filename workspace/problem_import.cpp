// File > Import: the field's problems as ordinary documents of the workbench.

#include <algorithm>
#include <filesystem>

#include "base/file_names.h"
#include "base/format.h"
#include "base/messages.h"
#include "estimation/import/project_import.h"
#include "workspace/workspace.h"

namespace zelk {

namespace fs = std::filesystem;

void Workspace::ImportProblem(bool petab) {
  if (!ConfirmDiscardData() || !ConfirmDiscardModel()) return;
  const auto problem = ui_.OpenFileDialog(
      DocumentDialog(petab ? msg::kImportPetabTitle : msg::kImportSbmlTitle,
                     petab ? msg::kPetabFilter : msg::kSbmlFilter, petab ? "yaml" : "xml", "",
                     Prefs.ModelLocation));
  if (!problem) return;
  // The project goes beside the problem unless the user says otherwise.
  const fs::path proposed = fs::path(*problem).parent_path() / (fs::path(*problem).stem().string() + ".mod");
  FileDialogRequest save = DocumentDialog(msg::kImportSaveTitle, msg::kModelFilter, "mod",
                                          proposed.string(), proposed.parent_path().string());
  save.ConfirmOverwrite = true;
  const auto target = ui_.SaveFileDialog(save);
  if (!target) return;
  ImportProblemAs(*problem, *target);
}

bool Workspace::ImportProblemAs(const std::string& problem, const std::string& modelPath) {
  ImportedProject project;
  if (const std::string why = zelk::ImportProblem(problem, project); !why.empty()) {
    ShowError(why);
    return false;
  }
  project.Name = fs::path(modelPath).stem().string();
  std::vector<std::string> written;
  const std::string folder = fs::path(modelPath).parent_path().string();
  if (const std::string why = WriteProject(project, folder.empty() ? "." : folder, written);
      !why.empty()) {
    ShowError(why);
    return false;
  }
  // The data first: their counts set the Dimension page, which the model's own then match.
  if (ReadAnyDataFile(written[1])) {
    ClearResults();
    SetDataFileName(written[1]);
    SetDataSaved(true);
  }
  ResetModel();
  if (ReadModelFile(written[0]) && ReadDimensionFile(written[3])) {
    SetModelFileName(written[0]);
    SetModelSaved(true);
  }
  ImportParameterFile(written[2]);
  Log.AddMessage(FillPlaceholders(msg::kImported, {FileNamePart(problem), FileNamePart(written[0])}));
  const std::string extension = LowercaseExtension(problem);
  if (extension == ".yaml" || extension == ".yml") {
    Estimation().SetObjectiveFunc(TObjectiveKind::Likelihood);
    Prefs.Integrator = kBdf;
    // As zelkcli fits a PEtab problem: likelihoods are compared to a few digits.
    Prefs.RelTolerance = std::min(Prefs.RelTolerance, 1e-8);
    Prefs.AbsTolerance = std::min(Prefs.AbsTolerance, 1e-12);
    Log.AddMessage(msg::kImportedLikelihood);
  }
  Prefs.ModelLocation = fs::path(written[0]).parent_path().string();
  // Every document is as its file holds it: the counts and the parameter table that came
  // after the model's text changed nothing to save.
  SetDataSaved(true, false);
  SetModelSaved(true);
  ui_.Repaint(View::Messages);
  ui_.ShowPage(Page::Model);
  if (Prefs.AutoCompile) CompileAction();
  return true;
}

}  // namespace zelk
