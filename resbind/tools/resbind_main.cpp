// resbind [options] FILE.res... [FILE.exe]: links resource files into an executable.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../link_state.h"
#include "file_host.h"

using namespace resbind;

namespace {

constexpr size_t kMaxInputs = 1000;

void Usage() {
  for (int n = kUsageFirst; n <= kUsageLast; ++n) std::printf("%s\n", MessageText(n));
}

int Fail(int number, int argument = 0) {
  char text[300];
  std::snprintf(text, sizeof text, MessageText(number), argument);
  std::fprintf(stderr, "%s\n", text);
  return 1;
}

bool HasExeExtension(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".exe" || ext == ".dll";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a.size() > 1 && a[0] == '@') {
      std::ifstream file(a.substr(1));
      if (!file) return Fail(kBadArgument, i);
      std::vector<std::string> words{std::istream_iterator<std::string>(file), {}};
      for (const auto& w : words)
        if (w[0] == '@') return Fail(kNestedCommandFile);
      args.insert(args.end(), words.begin(), words.end());
    } else {
      args.push_back(a);
    }
  }
  if (args.empty()) {
    Usage();
    return 1;
  }
  std::vector<std::string> inputs;
  std::string exe, output;
  uint32_t flags = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-?" || a == "-h") {
      Usage();
      return 0;
    } else if (a == "-v") {
      flags |= RESBIND_VERBOSE;
    } else if (a == "-vx") {
      flags |= RESBIND_VERBOSE | RESBIND_LIST_ONLY;
    } else if (a.rfind("-fe", 0) == 0 || a.rfind("-fi", 0) == 0) {
      // The file name may be attached (-feout.exe) or the next argument (-fe out.exe).
      std::string name = a.substr(3);
      if (name.empty()) {
        if (i + 1 == args.size()) return Fail(kBadArgument, int(i + 1));
        name = args[++i];
      }
      if (a[2] == 'e')
        output = name;
      else
        inputs.push_back(name);
    } else if (a[0] == '-') {
      return Fail(kBadArgument, int(i + 1));
    } else if (HasExeExtension(a)) {
      if (!exe.empty()) return Fail(kSyntax);
      exe = a;
    } else {
      inputs.push_back(a);
    }
  }
  if (inputs.size() > kMaxInputs) return Fail(kTooManyInputs);
  if (!output.empty() && exe.empty()) return Fail(kSyntax);

  FileHost::SetEcho(true);
  const ResBindCallbacks& cb = FileHost::Callbacks();
  std::vector<ResBindInput> nodes(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i)
    nodes[i] = {i + 1 < inputs.size() ? &nodes[i + 1] : nullptr, inputs[i].c_str()};
  ResBindRequest request{};
  request.Flags = flags;
  request.FileAlignment = 512;
  request.SectionAlignment = 4096;
  request.InputList = nodes.empty() ? nullptr : nodes.data();
  request.ExeName = exe.c_str();
  if (!output.empty()) {
    request.Flags |= RESBIND_SEPARATE_OUTPUT;
    request.OutputName = output.c_str();
  }
  // Fatal errors and errors fail the run; warnings and information do not.
  auto outcome = [](bool ok) {
    for (const HostMessage& m : FileHost::Messages())
      if (m.severity <= 1) ok = false;
    return ok ? 0 : 1;
  };
  if (inputs.empty() && !exe.empty()) return outcome(RemoveFromExe(&cb, &request));
  if (!GetResObjSize(&cb, &request)) return 1;
  if (exe.empty() || (flags & RESBIND_LIST_ONLY)) return outcome(true);
  if (!BindToExe(&cb, &request)) return 1;
  if (flags & RESBIND_VERBOSE) {
    char text[300];
    std::snprintf(text, sizeof text, MessageText(kLinkedTo),
                  (output.empty() ? exe : output).c_str());
    std::fprintf(stderr, "%s\n", text);
  }
  return 0;
}
