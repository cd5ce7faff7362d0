#pragma once
// The compile driver's files and process. The compiler runs in its own process, started
// through a small shell script beside the model ("zelkcompile.bat", kept under that name);
// the script creates the marker folder "$$$.tmp" when the build has ended, and the window
// polls for it. The compiler's output is also kept in "zelkcompile.log" beside the script.

#include <string>
#include <vector>

#include "model/model_language.h"

namespace zelk {

inline constexpr const char* kCompilerMissing =
    "Compiler executable (pasbuild.exe) was not found on specified location\nCheck your "
    "preferences!";
inline constexpr const char* kScriptName = "zelkcompile.bat";
inline constexpr const char* kMarkerName = "$$$.tmp";
inline constexpr const char* kLogName = "zelkcompile.log";
inline constexpr const char* kStatusName = "zelkcompile.status";  // the compiler's exit status

struct CompilePaths {
  std::string Folder;  // the .pas file's folder, with a trailing separator
  std::string Script;
  std::string Marker;
  std::string Log;
  std::string Status;
};

CompilePaths CompilePathsFor(const std::string& pasFile);

// The seven lines of the script, in the shell's language.
std::vector<std::string> CompileScriptLines(const std::string& compiler, const CompilePaths& paths);

// Starts `sh script args...` in `workFolder` without waiting: in a terminal window when
// `terminal` is set and one can be opened, otherwise detached from this process.
bool StartDetached(const std::string& script, const std::vector<std::string>& args,
                   const std::string& workFolder, bool terminal, std::string& error);

// Runs `sh script args...` in `workFolder` and waits for it to end, its output discarded.
bool RunToEnd(const std::string& script, const std::vector<std::string>& args,
              const std::string& workFolder, std::string& error);

// A terminal window can be opened here (a display and x-terminal-emulator).
bool TerminalAvailable();

// The lines of a compiler log that say why a build failed.
std::vector<std::string> CompilerErrorLines(const std::string& log);

// A compiler message placed in `pasName` at (LINE[,COL]) and coming from the model text is
// rewritten as `modName`(LINE,COL) in the model text's own lines and columns; any other line
// is returned as it is.
std::string MapCompilerMessage(const std::string& line, const std::string& pasName,
                               const std::string& modName,
                               const std::vector<SourceOrigin>& origins);

// The byte offset in `text` of the first message placed in `modName` (the mapped form
// above), clamped to its line; npos when no message names a position in it.
std::size_t FirstErrorOffset(const std::vector<std::string>& lines, const std::string& modName,
                             const std::string& text);

// The errors among the compiler's lines: messages at a source position that say Error or
// Fatal, except the compiler's closing count.
int CountCompilerErrors(const std::vector<std::string>& lines);

// The status the script recorded: the compiler's exit code, or -1 when none was recorded.
int ReadCompileStatus(const CompilePaths& paths);

// What an ended build left: the compiler's lines placed in the model text, whether the
// library was built and how many errors the lines count (all of them when none is counted).
struct BuildLog {
  std::vector<std::string> Lines;
  bool Built = false;
  int Errors = 0;
};
// `pasName` is the source's file name, `modName` the model file's.
BuildLog ReadBuildLog(const CompilePaths& paths, const std::string& library,
                      const std::string& pasName, const std::string& modName,
                      const std::vector<SourceOrigin>& origins);

// A path quoted for the shell, so that "$$$" and blanks stay as they are.
std::string ShellQuote(const std::string& text);

}  // namespace zelk
