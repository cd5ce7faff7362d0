#include "model/compile_driver.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/data_file.h"

namespace zelk {

namespace fs = std::filesystem;

CompilePaths CompilePathsFor(const std::string& pasFile) {
  CompilePaths paths;
  std::string folder = fs::path(pasFile).parent_path().string();
  if (folder.empty()) folder = ".";
  if (folder.back() != '/') folder += '/';
  paths.Folder = folder;
  paths.Script = folder + kScriptName;
  paths.Marker = folder + kMarkerName;
  paths.Log = folder + kLogName;
  paths.Status = folder + kStatusName;
  return paths;
}

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

std::vector<std::string> CompileScriptLines(const std::string& compiler,
                                            const CompilePaths& paths) {
  return {
      "#!/bin/sh",
      "echo Temporary batch file generated succesfully",
      "echo Running Orvel Compiler",
      // The log keeps what a detached run would otherwise lose; the status is written before
      // the marker, so the window knows whether the build failed.
      "{ " + ShellQuote(compiler) + " \"$@\" 2>&1; echo $? > " + ShellQuote(paths.Status) +
          "; } | tee " + ShellQuote(paths.Log),
      "echo Finished!",
      "if [ -t 0 ]; then printf 'Press Enter to continue . . . '; read -r answer; fi",
      "mkdir " + ShellQuote(paths.Folder + kMarkerName),
  };
}

namespace {

std::string FindOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

}  // namespace

bool TerminalAvailable() {
  const char* display = std::getenv("DISPLAY");
  return display && *display && !FindOnPath("x-terminal-emulator").empty();
}

namespace {

// Forks a child that runs `command` in `workFolder` (in a grandchild of its own session when
// `detach`) and waits for the child; false when no child could be made.
bool RunChild(std::vector<std::string> command, const std::string& workFolder, bool detach,
              bool keepOutput, std::string& error) {
  std::vector<char*> argv;
  for (std::string& a : command) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child < 0) {
    error = std::strerror(errno);
    return false;
  }
  if (child == 0) {
    if (detach) {
      ::setsid();
      if (::fork() != 0) ::_exit(0);
    }
    if (::chdir(workFolder.c_str()) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, STDIN_FILENO);
      if (!keepOutput) {
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
      }
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return true;
}

std::vector<std::string> ScriptCommand(const std::string& script,
                                       const std::vector<std::string>& args) {
  std::vector<std::string> command = {"/bin/sh", script};
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

}  // namespace

bool StartDetached(const std::string& script, const std::vector<std::string>& args,
                   const std::string& workFolder, bool terminal, std::string& error) {
  std::vector<std::string> command = ScriptCommand(script, args);
  if (terminal && TerminalAvailable())
    command.insert(command.begin(), {FindOnPath("x-terminal-emulator"), "-e"});
  // Forked twice, the script belongs to no one here and leaves no zombie behind.
  return RunChild(command, workFolder, true, terminal, error);
}

bool RunToEnd(const std::string& script, const std::vector<std::string>& args,
              const std::string& workFolder, std::string& error) {
  return RunChild(ScriptCommand(script, args), workFolder, false, false, error);
}

std::vector<std::string> CompilerErrorLines(const std::string& log) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find(" Error: ") != std::string::npos || line.find(" Fatal: ") != std::string::npos ||
        line.rfind("Error: ", 0) == 0 || line.rfind("Fatal: ", 0) == 0 ||
        line.rfind("pasbuild: ", 0) == 0)
      lines.push_back(line);
  }
  return lines;
}

namespace {

// Digits at `at`, advancing past them; -1 when there are none.
int ReadNumber(const std::string& text, std::size_t& at) {
  long value = -1;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && value < 1000000)
    value = (value < 0 ? 0 : value * 10) + (text[at++] - '0');
  return static_cast<int>(value);
}

struct Position {
  std::size_t Start = std::string::npos;  // where the file name begins
  std::size_t End = 0;                    // just after the closing parenthesis
  int Line = -1;
  int Column = -1;
};

// "NAME(L)" or "NAME(L,C)" at the start of the message, NAME a bare file name or a path.
Position FindPosition(const std::string& line, const std::string& name) {
  Position p;
  const std::size_t nameAt = line.find(name + "(");
  if (nameAt == std::string::npos || (nameAt > 0 && line[nameAt - 1] != '/')) return p;
  const std::size_t open = nameAt + name.size();
  std::size_t at = open + 1;
  p.Line = ReadNumber(line, at);
  if (p.Line < 0) return p;
  if (at < line.size() && line[at] == ',') {
    ++at;
    p.Column = ReadNumber(line, at);
    if (p.Column < 0) return p;
  }
  if (at >= line.size() || line[at] != ')') return p;
  p.Start = 0;
  p.End = at + 1;
  return p;
}

}  // namespace

std::string MapCompilerMessage(const std::string& line, const std::string& pasName,
                               const std::string& modName,
                               const std::vector<SourceOrigin>& origins) {
  const Position p = FindPosition(line, pasName);
  if (p.Start == std::string::npos || p.Line < 1 || p.Line > static_cast<int>(origins.size()))
    return line;
  const SourceOrigin& origin = origins[p.Line - 1];
  if (origin.Line == 0) return line;
  std::string mapped = modName + "(" + std::to_string(origin.Line);
  if (p.Column >= 0) mapped += "," + std::to_string(p.Column + origin.ColumnShift);
  return mapped + ")" + line.substr(p.End);
}

std::size_t FirstErrorOffset(const std::vector<std::string>& lines, const std::string& modName,
                             const std::string& text) {
  for (const std::string& line : lines) {
    const Position p = FindPosition(line, modName);
    if (p.Start == std::string::npos || p.Line < 1) continue;
    std::size_t start = 0;
    for (int l = 1; l < p.Line; ++l) {
      start = text.find('\n', start);
      if (start == std::string::npos) return text.size();
      ++start;
    }
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::size_t column = p.Column > 0 ? static_cast<std::size_t>(p.Column - 1) : 0;
    return std::min(start + column, end);
  }
  return std::string::npos;
}

int CountCompilerErrors(const std::vector<std::string>& lines) {
  int count = 0;
  for (const std::string& line : lines) {
    const std::size_t close = line.find(") ");
    if (close == std::string::npos || line.find('(') > close) continue;
    const std::string rest = line.substr(close + 2);
    if ((rest.rfind("Error: ", 0) == 0 || rest.rfind("Fatal: ", 0) == 0) &&
        rest.find("errors compiling module") == std::string::npos)
      ++count;
  }
  return count;
}

int ReadCompileStatus(const CompilePaths& paths) {
  std::ifstream in(paths.Status);
  int status = -1;
  if (!(in >> status)) return -1;
  return status;
}

BuildLog ReadBuildLog(const CompilePaths& paths, const std::string& library,
                      const std::string& pasName, const std::string& modName,
                      const std::vector<SourceOrigin>& origins) {
  BuildLog log;
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (ReadWholeFile(paths.Log, bytes, error))
    for (const std::string& line : CompilerErrorLines(std::string(bytes.begin(), bytes.end())))
      log.Lines.push_back(MapCompilerMessage(line, pasName, modName, origins));
  const int status = ReadCompileStatus(paths);
  std::error_code ec;
  // A script without a status (another compiler's) is judged by the library alone.
  log.Built = (status == 0 || status == -1) && std::filesystem::is_regular_file(library, ec);
  const int errors = CountCompilerErrors(log.Lines);
  log.Errors = errors > 0 ? errors : static_cast<int>(log.Lines.size());
  return log;
}

}  // namespace zelk
