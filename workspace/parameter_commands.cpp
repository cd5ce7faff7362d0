// Parameter files: export and import of the whole parameter record.

#include "base/data_file.h"
#include "base/messages.h"
#include "estimation/parameter_file.h"
#include "workspace/workspace.h"

namespace zelk {

bool Workspace::WriteParameterFile(const std::string& path) {
  std::string reason;
  if (!WriteFileReplacing(path, EncodeParameterFile(Parameters), reason)) {
    ShowError(std::string(msg::kSaveFailed) + "\n" + reason);
    return false;
  }
  return true;
}

bool Workspace::ImportParameterFile(const std::string& path) {
  TParameterRecord scratch = Parameters;
  const std::string reason = ReadParameterFile(path, scratch);
  if (!reason.empty()) {
    ShowError(std::string(msg::kOpenFailed) + "\n" + FileNamePart(path) + ": " + reason);
    return false;
  }
  Parameters = scratch;
  paramGrids_.ForgetEdits();
  // The best objective belongs to other values: the next search evaluates these first.
  Invalidate(Stale::Everything);
  paramGrids_.RefreshDetails({1, 2, 3, 4, 5, 6, kScaleColumn}, RefreshRows::All);
  paramGrids_.RefreshValueColumn(RefreshRows::All);
  ui_.Repaint(View::ParameterGrids);
  ui_.Repaint(View::FitChart);
  return true;
}

void Workspace::ExportParametersAction() {
  FileDialogRequest request = DocumentDialog(msg::kExportParametersTitle, msg::kParameterFilter,
                                             "par", ProposedName(ModelFileName, ".par"));
  request.ConfirmOverwrite = true;
  if (const auto path = ui_.SaveFileDialog(request)) WriteParameterFile(*path);
}

void Workspace::ImportParametersAction() {
  if (const auto path = ui_.OpenFileDialog(
          DocumentDialog(msg::kImportParametersTitle, msg::kParameterFilter, "par", "*.par")))
    ImportParameterFile(*path);
}

}  // namespace zelk
