// The model document: the editor's text stored as a .mod file (rich text carrying the
// plain text) beside its .dim file (five counts).

#include <cstring>
#include <filesystem>

#include "base/data_file.h"
#include "base/format.h"
#include "base/messages.h"
#include "presentation/rich_text.h"
#include "workspace/workspace.h"

namespace zelk {

namespace fs = std::filesystem;

void Workspace::ModelTextChanged(const std::string& text) {
  ModelText = text;
  ModelNames names = NamesOf(text);
  problem_.Noise = names.Noise;
  if (names.Parameters != Names.Parameters || names.Responses != Names.Responses) {
    Names = std::move(names);
    grid_.Label();
    paramGrids_.Label();
  }
  SetModelSaved(false);
  // A library that comes from an earlier text is not this text's.
  compiler_.TextChanged = true;
  SetCompiled(false);
}

void Workspace::ReplaceModelText(const std::string& text) {
  ModelTextChanged(text);
  ui_.Repaint(View::ModelText);
}

bool Workspace::WriteModelFile(const std::string& path) {
  const std::string rtf = WriteRtfDocument(ModelText);
  std::string error;
  if (WriteFileReplacing(path, std::vector<std::uint8_t>(rtf.begin(), rtf.end()), error))
    return true;
  ShowError(std::string(msg::kSaveFailed) + "\n" + error);
  return false;
}

bool Workspace::WriteDimensionFile(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  for (std::int32_t count : {Model.AlgEqCount, Model.DifEqCount, Parameters.Count,
                             MeasuredData.XData.IndepCount, MeasuredData.YData.DepCount})
    AppendInt32(bytes, count);
  std::string error;
  if (WriteFileReplacing(path, bytes, error)) return true;
  ShowError(std::string(msg::kSaveFailed) + "\n" + error);
  return false;
}

bool Workspace::ReadModelFile(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) {
    ShowError(FillPlaceholders(msg::kCannotOpen, {path, error}));
    return false;
  }
  const std::string text = ModelTextFromFile(std::string(bytes.begin(), bytes.end()));
  ReplaceModelText(text);
  return true;
}

bool Workspace::ReadDimensionFile(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::uint64_t size = 0;
  std::string error;
  if (!ReadFileHead(path, kDimensionFileSize, bytes, size, error)) return false;
  const std::vector<std::int32_t> counts = DecodeDimensionFile(bytes);
  // Counts read before a short file ends stay applied.
  for (std::size_t i = 0; i < counts.size(); ++i)
    dimensions_.SetText(kDimensionFileOrder[i], std::to_string(counts[i]));
  return counts.size() == kDimensionFileOrder.size();
}

void Workspace::NewModelFile() {
  if (ConfirmDiscardModel()) {
    ReplaceModelText("");
    ResetModel();
  }
  ui_.ShowPage(Page::Model);
}

void Workspace::OpenModelFile() {
  if (!ConfirmDiscardModel()) return;
  const auto chosen = ui_.OpenFileDialog(DocumentDialog(msg::kOpenModelTitle, msg::kModelFilter,
                                                        "mod", ModelFileName, Prefs.ModelLocation));
  if (chosen) OpenModelPath(*chosen);
}

void Workspace::OpenModelPath(const std::string& path) {
  ResetModel();
  if (ReadModelFile(path) && ReadDimensionFile(CompanionName(path))) {
    SetModelFileName(path);
    SetModelSaved(true);
  }
  Prefs.ModelLocation = fs::path(path).parent_path().string();
  ui_.ShowPage(Page::Model);
  if (Prefs.AutoCompile) CompileAction();
}

void Workspace::SaveModelFile() {
  if (ModelFileName.empty()) {
    SaveModelFileAs();
    return;
  }
  if (WriteModelFile(ModelFileName) && WriteDimensionFile(CompanionName(ModelFileName)))
    SetModelSaved(true);
}

void Workspace::SaveModelFileAs() {
  FileDialogRequest request =
      DocumentDialog(msg::kSaveModelTitle, msg::kModelFilter, "mod", ModelFileName);
  request.ConfirmOverwrite = true;
  const auto chosen = ui_.SaveFileDialog(request);
  if (!chosen) return;
  if (!WriteModelFile(*chosen) || !WriteDimensionFile(CompanionName(*chosen))) return;
  SetModelFileName(*chosen);
  SetModelSaved(true);
}

}  // namespace zelk
