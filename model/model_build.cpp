#include "model/model_build.h"

#include <filesystem>

#include "base/data_file.h"
#include "base/format.h"
#include "base/messages.h"
#include "model/compile_driver.h"

namespace zelk {

namespace fs = std::filesystem;

ModelBuild BuildModelLibrary(const std::string& modelText, const std::string& modelName,
                             const std::string& folder, const std::string& compiler,
                             const ModelCounts& counts) {
  ModelBuild build;
  std::error_code ec;
  if (compiler.empty() || !fs::is_regular_file(compiler, ec)) {
    build.Error = kCompilerMissing;
    return build;
  }
  const std::string base = modelName.substr(0, modelName.size() >= 4 ? modelName.size() - 4 : 0);
  const TranslationResult result = ModelTranslator(modelText, base, counts).Translate();
  if (!result.Ok || result.SourceIsC) {
    build.Error = result.SourceIsC      ? "C models cannot be compiled"
                  : result.Error.empty() ? "the model text was not translated"
                                         : result.Error;
    return build;
  }
  // Such indexes compile, but the counts do not size what they reach.
  build.Messages = IndexWarnings(modelText, counts);
  const std::string pasFile = (fs::path(folder) / (base + ".pas")).string();
  std::string source, error;
  for (const std::string& line : result.Lines) source += line + "\n";
  if (!WriteFileReplacing(pasFile, std::vector<std::uint8_t>(source.begin(), source.end()), error)) {
    build.Error = FillPlaceholders(msg::kSourceNotWritten, {pasFile, error});
    return build;
  }
  const CompilePaths paths = CompilePathsFor(pasFile);
  std::string script;
  for (const std::string& line : CompileScriptLines(compiler, paths)) script += line + "\n";
  if (!WriteFileReplacing(paths.Script, std::vector<std::uint8_t>(script.begin(), script.end()),
                          error) ||
      !RunToEnd(paths.Script, {pasFile, "/E", paths.Folder}, fs::path(compiler).parent_path().string(),
                error)) {
    build.Error = FillPlaceholders(msg::kScriptNotWritten, {paths.Script, error});
    return build;
  }
  // The compiler names the library by the source's "Library" line.
  const std::string library = (fs::path(folder) / (LibraryIdentifier(base) + ".dll")).string();
  const BuildLog log = ReadBuildLog(paths, library, base + ".pas", modelName, result.Origins);
  build.Messages.insert(build.Messages.end(), log.Lines.begin(), log.Lines.end());
  if (!log.Built) {
    build.Error = FillPlaceholders(msg::kModelNotCompiledTerminal,
                                   {modelName, std::to_string(log.Errors)});
    return build;
  }
  build.Library = library;
  return build;
}

}  // namespace zelk
