#include "model/compile_driver.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

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
      // The log keeps what a detached run would otherwise lose.
      ShellQuote(compiler) + " \"$@\" 2>&1 | tee " + ShellQuote(paths.Log),
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

bool StartDetached(const std::string& script, const std::vector<std::string>& args,
                   const std::string& workFolder, bool terminal, std::string& error) {
  std::vector<std::string> command;
  if (terminal && TerminalAvailable()) command = {FindOnPath("x-terminal-emulator"), "-e"};
  command.push_back("/bin/sh");
  command.push_back(script);
  command.insert(command.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : command) argv.push_back(a.data());
  argv.push_back(nullptr);

  // Fork twice so the script belongs to no one here and leaves no zombie behind.
  const pid_t child = ::fork();
  if (child < 0) {
    error = std::strerror(errno);
    return false;
  }
  if (child == 0) {
    ::setsid();
    if (::fork() != 0) ::_exit(0);
    if (::chdir(workFolder.c_str()) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, STDIN_FILENO);
      if (!terminal) {
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

}  // namespace zelk
