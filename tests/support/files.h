#pragma once
// Small file and process helpers for tests that check what programs write and print.

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace zelk::test {

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteText(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

struct CommandRun {
  int Status;       // the exit code, -1 when the program did not exit normally
  std::string Out;  // standard output and standard error together
};

// Runs `command` through the shell and collects what it printed.
inline CommandRun RunCommand(const std::string& command) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  std::string out;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

}  // namespace zelk::test
