
#include "workspace/compile_session.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/data_file.h"
#include "base/format.h"
#include "base/messages.h"
#include "model/compile_driver.h"
#include "model/model_language.h"
#include "base/file_names.h"

namespace zelk {

namespace fs = std::filesystem;

std::string CompileSession::PasFilePath() const {
  return (fs::path(host_.ModelPath()).parent_path() / (ModelBaseName + ".pas")).string();
}

std::string CompileSession::LibraryFilePath() const {
  // The compiler names the library by the source's "Library" line.
  return (fs::path(host_.ModelPath()).parent_path() / (LibraryIdentifier(ModelBaseName) + ".dll"))
      .string();
}

bool CompileSession::TranslateModel() {
  if (!host_.SaveModelFirst()) return false;
  UserInterface& ui = host_.Ui();
  const std::string& modelPath = host_.ModelPath();
  SourceLines.clear();
  SourceOrigins.clear();
  ui.Repaint(View::Source);
  const std::string name = FileNamePart(modelPath);
  ModelBaseName = name.substr(0, name.size() >= 4 ? name.size() - 4 : 0);
  ModelTranslator translator(host_.ModelSource(), ModelBaseName, host_.Counts());
  const TranslationResult result = translator.Translate();
  if (!result.Error.empty()) host_.ShowError(result.Error);
  if (result.Caret != TranslationResult::kCaretUnchanged) host_.PlaceModelCaret(result.Caret);
  if (result.LanguageLineRead) SourceIsC = result.SourceIsC;
  bool ok = result.Ok;
  if (ok) {
    SourceLines = result.Lines;
    SourceOrigins = result.Origins;
    std::string text;
    for (const std::string& line : SourceLines) text += line + "\n";
    std::string error;
    // An untitled model has no folder to write into; the Source page still shows the text.
    if (modelPath.empty()) {
      ok = false;
      host_.ShowError(msg::kModelUntitled);
    } else if (!WriteFileReplacing(PasFilePath(),
                                   std::vector<std::uint8_t>(text.begin(), text.end()), error)) {
      ok = false;
      host_.ShowError(FillPlaceholders(msg::kSourceNotWritten, {PasFilePath(), error}));
    }
    ui.Repaint(View::Source);
    // Such indexes compile, but the Dimension page does not size what they reach.
    for (const std::string& warning : IndexWarnings(host_.ModelSource(), host_.Counts()))
      host_.AddMessage(warning);
  }
  if (result.LanguageLineRead && host_.Settings().SourcePreview) ui.ShowPage(Page::Source);
  return ok;
}

bool CompileSession::StartCompile(const std::string& pasFile) {
  UserInterface& ui = host_.Ui();
  host_.ModelObject().UnloadModelLibrary(BoxesOf(ui));
  host_.LibraryChanged();
  const std::string& compiler = host_.Settings().CompilerPath;
  std::error_code ec;
  if (compiler.empty() || !fs::is_regular_file(compiler, ec)) {
    host_.ShowError(kCompilerMissing);
    return false;
  }
  const CompilePaths paths = CompilePathsFor(pasFile);
  std::string script;
  for (const std::string& line : CompileScriptLines(compiler, paths)) script += line + "\n";
  std::string error;
  if (!WriteFileReplacing(paths.Script, std::vector<std::uint8_t>(script.begin(), script.end()),
                          error)) {
    host_.ShowError(FillPlaceholders(msg::kScriptNotWritten, {paths.Script, error}));
    return false;
  }
  fs::remove(paths.Log, ec);
  fs::remove(paths.Status, ec);
  // A library left by an earlier build must never stand in for this one.
  fs::remove(LibraryFilePath(), ec);
  // Only an empty marker goes; one with contents stays and the next poll sees it at once.
  if (fs::is_directory(paths.Marker, ec) && fs::is_empty(paths.Marker, ec))
    fs::remove(paths.Marker, ec);
  const std::string workFolder = fs::path(compiler).parent_path().string();
  const std::vector<std::string> args = {pasFile, "/E", paths.Folder};
  outputShown_ = 0;
  TextChanged = false;
  if (!StartDetached(paths.Script, args, workFolder, host_.Settings().CompilerConsole, error)) {
    host_.ShowError(FillPlaceholders(msg::kScriptNotWritten, {paths.Script, error}));
    return false;
  }
  TimerEnabled = true;
  ui.EnableCompileTimer(true);
  return true;
}

void CompileSession::Compile() {
  if (TranslateModel() && !SourceIsC) StartCompile(PasFilePath());
  // "Compiling..." while the compiler runs; "Compiled" only once its library is loaded.
  host_.SetCompiled(false);
}

void CompileSession::CompilePascal() {
  if (TranslateModel()) StartCompile(PasFilePath());
  host_.SetCompiled(false);
}

void CompileSession::ShowNewOutput(bool atEnd) {
  const std::string log = CompilePathsFor(host_.ModelPath()).Log;
  std::ifstream in(log, std::ios::binary);
  if (!in || !in.seekg(static_cast<std::streamoff>(outputShown_))) return;
  const std::string fresh{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::size_t start = 0;
  for (;;) {
    std::size_t end = fresh.find('\n', start);
    if (end == std::string::npos) {
      if (!atEnd || start == fresh.size()) break;
      end = fresh.size();
    }
    std::string line = fresh.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty())
      host_.AddMessage(MapCompilerMessage(line, ModelBaseName + ".pas",
                                          FileNamePart(host_.ModelPath()), SourceOrigins));
    start = std::min(end + 1, fresh.size());
    if (end == fresh.size()) break;
  }
  outputShown_ += start;
}

void CompileSession::TimerTick() {
  const std::string& modelPath = host_.ModelPath();
  if (!TimerEnabled || modelPath.empty()) return;
  std::error_code ec;
  if (!fs::exists(CompilePathsFor(modelPath).Marker, ec)) {
    ShowNewOutput(false);
    return;
  }
  TimerEnabled = false;
  host_.Ui().EnableCompileTimer(false);
  Finish();
}

void CompileSession::Finish() {
  const std::string& modelPath = host_.ModelPath();
  UserInterface& ui = host_.Ui();
  const std::string library = LibraryFilePath();
  const BuildLog log = ReadBuildLog(CompilePathsFor(modelPath), library, ModelBaseName + ".pas",
                                    FileNamePart(modelPath), SourceOrigins);
  // The new library's curves, or none, replace the old ones.
  host_.LibraryChanged();
  // Its error lines are among the output shown as it came.
  ShowNewOutput(true);
  if (!log.Built) {
    host_.SetCompiled(false);
    ui.ShowPage(Page::Messages);
    // The caret waits at the first error the model text holds.
    const std::size_t at =
        FirstErrorOffset(log.Lines, FileNamePart(modelPath), host_.ModelSource());
    if (at != std::string::npos) {
      host_.PlaceModelCaret(at);
      ui.ShowPage(Page::Model);
    }
    host_.ShowError(FillPlaceholders(msg::kModelNotCompiled,
                                     {FileNamePart(modelPath), std::to_string(log.Errors)}));
    return;
  }
  TModel& model = host_.ModelObject();
  model.LoadModelLibrary(library, BoxesOf(ui));
  if (model.LibFileName.empty()) {
    host_.SetCompiled(false);
    return;
  }
  host_.SetCompiled(!TextChanged);
  // The pane's last line says how the last compile ended, not an earlier compile's errors.
  host_.AddMessage(FillPlaceholders(msg::kModelCompiled, {FileNamePart(modelPath)}));
}

}  // namespace zelk
