// Translating the model text into a library source and having it compiled and loaded.

#include <filesystem>
#include <fstream>

#include "base/data_file.h"
#include "base/format.h"
#include "base/messages.h"
#include "model/compile_driver.h"
#include "model/model_language.h"
#include "workspace/workspace.h"

namespace zelk {

namespace fs = std::filesystem;

std::string Workspace::PasFilePath() const {
  return (fs::path(ModelFileName).parent_path() / (ModelBaseName + ".pas")).string();
}

bool Workspace::TranslateModel() {
  if (!Model.ModelSaved) {
    if (ui_.ShowMessage(MessageKind::Warning, msg::kSaveModelFirst, Buttons::OkCancel) !=
        Answer::Ok)
      return false;
    SaveModelFile();
  }
  SourceLines.clear();
  SourceOrigins.clear();
  ui_.Repaint(View::Source);
  const std::string name = FileNamePart(ModelFileName);
  ModelBaseName = name.substr(0, name.size() >= 4 ? name.size() - 4 : 0);
  ModelTranslator translator(ModelText, ModelBaseName);
  const TranslationResult result = translator.Translate();
  if (!result.Error.empty()) ShowError(result.Error);
  if (result.Caret != TranslationResult::kCaretUnchanged) {
    ModelCaret = result.Caret;
    ui_.Repaint(View::ModelCaret);
  }
  if (result.LanguageLineRead) SourceIsC = result.SourceIsC;
  bool ok = result.Ok;
  if (ok) {
    SourceLines = result.Lines;
    SourceOrigins = result.Origins;
    std::string text;
    for (const std::string& line : SourceLines) text += line + "\n";
    std::string error;
    // An untitled model has no folder to write into; the Source page still shows the text.
    if (ModelFileName.empty()) {
      ok = false;
      ShowError(msg::kModelUntitled);
    } else if (!WriteFileReplacing(PasFilePath(),
                                   std::vector<std::uint8_t>(text.begin(), text.end()), error)) {
      ok = false;
      ShowError(FillPlaceholders(msg::kSourceNotWritten, {PasFilePath(), error}));
    }
    ui_.Repaint(View::Source);
  }
  if (result.LanguageLineRead && Prefs.SourcePreview) ui_.ShowPage(Page::Source);
  return ok;
}

bool Workspace::StartCompile(const std::string& pasFile) {
  Model.UnloadModelLibrary(ui_);
  CurveReady = false;
  ui_.Repaint(View::FitChart);
  std::error_code ec;
  if (Prefs.CompilerPath.empty() || !fs::is_regular_file(Prefs.CompilerPath, ec)) {
    ShowError(kCompilerMissing);
    return false;
  }
  const CompilePaths paths = CompilePathsFor(pasFile);
  std::string script;
  for (const std::string& line : CompileScriptLines(Prefs.CompilerPath, paths))
    script += line + "\n";
  std::string error;
  if (!WriteFileReplacing(paths.Script, std::vector<std::uint8_t>(script.begin(), script.end()),
                          error)) {
    ShowError(FillPlaceholders(msg::kScriptNotWritten, {paths.Script, error}));
    return false;
  }
  fs::remove(paths.Log, ec);
  fs::remove(paths.Status, ec);
  // A library left by an earlier build must never stand in for this one.
  fs::remove(fs::path(ModelFileName).replace_extension(".dll"), ec);
  // Only an empty marker goes; one with contents stays and the next poll sees it at once.
  if (fs::is_directory(paths.Marker, ec) && fs::is_empty(paths.Marker, ec))
    fs::remove(paths.Marker, ec);
  const std::string workFolder = fs::path(Prefs.CompilerPath).parent_path().string();
  if (!StartDetached(paths.Script, {pasFile, "/E", paths.Folder}, workFolder, UseTerminal, error)) {
    ShowError(FillPlaceholders(msg::kScriptNotWritten, {paths.Script, error}));
    return false;
  }
  CompileTimerEnabled = true;
  ui_.EnableCompileTimer(true);
  return true;
}

// A text that did not translate is not compiled: its message was shown, and the source
// on disk belongs to an earlier text.
void Workspace::CompileAction() {
  const bool translated = TranslateModel();
  bool started = false;
  if (translated && !SourceIsC) started = StartCompile(PasFilePath());
  SetCompiled(started);
}

void Workspace::CompilePascalAction() {
  if (TranslateModel()) StartCompile(PasFilePath());
}

void Workspace::CompileTimerTimer() {
  if (!CompileTimerEnabled || ModelFileName.empty()) return;
  const CompilePaths paths = CompilePathsFor(ModelFileName);
  std::error_code ec;
  if (!fs::exists(paths.Marker, ec)) return;
  CompileTimerEnabled = false;
  ui_.EnableCompileTimer(false);
  const std::string library = fs::path(ModelFileName).replace_extension(".dll").string();
  std::vector<std::uint8_t> log;
  std::string error;
  std::vector<std::string> lines;
  if (ReadWholeFile(paths.Log, log, error)) {
    const std::string pasName = ModelBaseName + ".pas", modName = FileNamePart(ModelFileName);
    for (const std::string& line : CompilerErrorLines(std::string(log.begin(), log.end())))
      lines.push_back(MapCompilerMessage(line, pasName, modName, SourceOrigins));
  }
  const int status = ReadCompileStatus(paths);
  // A script without a status (another compiler's) is judged by the library alone.
  const bool built = (status == 0 || status == -1) && fs::is_regular_file(library, ec);
  // The new library's curves, or none, replace the old ones.
  CurveReady = false;
  ui_.Repaint(View::FitChart);
  for (const std::string& line : lines) Log.AddMessage(line);
  if (!built) {
    SetCompiled(false);
    const int errors = CountCompilerErrors(lines);
    ui_.ShowPage(Page::Messages);
    ShowError(
        FillPlaceholders(msg::kModelNotCompiled,
                         {FileNamePart(ModelFileName),
                          std::to_string(errors > 0 ? errors : static_cast<int>(lines.size()))}));
    return;
  }
  Model.LoadModelLibrary(library, ui_);
  if (Model.LibFileName.empty()) SetCompiled(false);
}

}  // namespace zelk
