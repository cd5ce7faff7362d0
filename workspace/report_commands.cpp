// The report commands: preview, print and save; the export of the other pictures.

#include <filesystem>

#include "base/data_file.h"
#include "base/messages.h"
#include "base/format.h"
#include "presentation/report.h"
#include "workspace/workspace.h"

namespace zelk {

void Workspace::BuildReport() {
  const FitResult& fit = estimation_.Result;
  const std::string search =
      fit.Search == kIdle
          ? ""
          : std::string(SearchName(fit.Search)) + " (" + SearchEndName(fit.Fit.Reason) + ")";
  Report = zelk::BuildReport({ModelFileName, DataFileName, LocalTimeAndDate(),
                              estimation_.BestObjective, Parameters, fit.Statistics.Correlation,
                              MeasuredData.YData, fit.Statistics.Dof, search, &fit, &Names});
  ui_.Repaint(View::Report);
}

bool Workspace::ExportPicture(const std::string& name, int W, int H,
                              const std::function<void(Canvas&)>& paint) {
  const std::string folder =
      ModelFileName.empty() ? std::string() : std::filesystem::path(ModelFileName).parent_path().string();
  FileDialogRequest request = DocumentDialog(msg::kExportPictureTitle, msg::kPictureFilter, "png",
                                             folder.empty() ? name : folder + "/" + name);
  request.ConfirmOverwrite = true;
  const auto path = ui_.SaveFileDialog(request);
  if (!path) return false;
  const std::string error = ui_.WritePicture(*path, W, H, paint);
  if (error.empty()) return true;
  ShowError(FillPlaceholders(msg::kPictureNotWritten, {*path, error}));
  return false;
}

void Workspace::ReportPreviewAction() {
  ui_.ShowPage(Page::Report);
  BuildReport();
}

void Workspace::PrintReportAction() {
  ui_.PrintReport([this] { BuildReport(); });
}

void Workspace::SaveReport() {
  FileDialogRequest request = DocumentDialog(msg::kSaveReportTitle, msg::kReportFilter, "rtf",
                                             ProposedName(ModelFileName, ".rtf"));
  request.ConfirmOverwrite = true;
  const auto path = ui_.SaveFileDialog(request);
  if (!path) return;
  std::string reason;
  // What the box holds, the user's edits included; an earlier file stays if this fails.
  if (!zelk::WriteReport(*path, ui_.ReportText(), reason))
    ShowError(std::string(msg::kSaveFailed) + "\n" + reason);
}

}  // namespace zelk
