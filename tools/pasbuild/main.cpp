// pasbuild FILE.pas /E OUTDIR
// Builds the model library that FILE.pas declares ("Library <name>;") with Free Pascal and
// leaves it in OUTDIR as <name>.dll (an ELF shared object here). The compiler's messages are
// printed as they come; fpc's intermediate files go to a scratch folder that is removed.
// Exit code 0 only when the library was built.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

int Fail(const std::string& text) {
  std::cerr << "pasbuild: " << text << "\n";
  return 1;
}

std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = dirs.find(':', start);
    const std::string dir =
        dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return {};
}

// The name after the first "library" keyword, or the file's own base name.
std::string LibraryName(const fs::path& source) {
  std::ifstream in(source);
  std::string line;
  while (std::getline(in, line)) {
    std::size_t i = line.find_first_not_of(" \t\r");
    if (i == std::string::npos) continue;
    std::string word;
    while (i < line.size() && std::isalpha(static_cast<unsigned char>(line[i])))
      word += static_cast<char>(std::tolower(static_cast<unsigned char>(line[i++])));
    if (word != "library") break;
    const std::size_t first = line.find_first_not_of(" \t", i);
    const std::size_t last = line.find_first_of("; \t\r", first);
    if (first != std::string::npos)
      return line.substr(first, last == std::string::npos ? std::string::npos : last - first);
    break;
  }
  return source.stem().string();
}

int Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char* argv[]) {
  std::vector<std::string> args(argv + 1, argv + argc);
  fs::path source, outDir;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "/E" || args[i] == "/e" || args[i] == "-E") && i + 1 < args.size())
      outDir = args[++i];
    else if (source.empty())
      source = args[i];
    else
      return Fail("unexpected argument \"" + args[i] + "\"");
  }
  if (source.empty() || outDir.empty()) return Fail("usage: pasbuild FILE.pas /E OUTDIR");
  std::error_code ec;
  if (!fs::is_regular_file(source, ec)) return Fail("no such source file: " + source.string());
  if (!fs::is_directory(outDir, ec)) return Fail("no such output folder: " + outDir.string());
  const std::string fpc = FindOnPath("fpc");
  if (fpc.empty())
    return Fail(
        "the Free Pascal compiler (fpc) is not on the PATH; install the Debian package "
        "fp-compiler");

  const fs::path self = fs::canonical("/proc/self/exe", ec).parent_path();
  char scratchTemplate[] = "/tmp/pasbuild-XXXXXX";
  if (!::mkdtemp(scratchTemplate))
    return Fail(std::string("cannot make a scratch folder: ") + std::strerror(errno));
  const fs::path scratch = scratchTemplate;
  const std::string name = LibraryName(source);
  const fs::path built = scratch / (name + ".dll");

  const int status =
      Run({fpc, "-l-", "-O2", "-Xs", "-XX", "-Fu" + self.string(), "-Fazelkrt", "-FU" + scratch.string(),
           "-o" + built.string(), fs::absolute(source).string()});
  int result = 0;
  if (status != 0 || !fs::is_regular_file(built, ec)) {
    result = Fail("the library was not built (fpc exit code " + std::to_string(status) + ")");
  } else {
    // Copied into a file of this run's own beside the target, then renamed over it: the
    // target is whole or absent for every reader, and a loaded old library keeps its mapping.
    // Builds running side by side never share the temporary file.
    const fs::path target = outDir / (name + ".dll");
    std::string tempName = (outDir / ("." + name + ".dll.XXXXXX")).string();
    const int fd = ::mkstemp(tempName.data());
    if (fd < 0) {
      ec.assign(errno, std::generic_category());
    } else {
      ::close(fd);
      fs::copy_file(built, tempName, fs::copy_options::overwrite_existing, ec);
    }
    const fs::path temp = tempName;
    if (!ec)
      fs::permissions(temp,
                      fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                          fs::perms::others_read | fs::perms::others_exec,
                      ec);
    if (!ec) fs::rename(temp, target, ec);
    if (ec) {
      result = Fail("cannot write " + target.string() + ": " + ec.message());
      if (fd >= 0) fs::remove(temp, ec);
    }
  }
  fs::remove_all(scratch, ec);
  return result;
}
