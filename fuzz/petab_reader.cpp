// A PEtab problem from one input: its files separated by lines "----", in the order
// problem.yaml, parameters.tsv, conditions.tsv, observables.tsv, measurements.tsv, model.xml.
// A problem is imported or refused with a message; nothing else may happen.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "estimation/import/project_import.h"
#include "estimation/import/formula.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  static const char* const kNames[] = {"problem.yaml", "parameters.tsv", "conditions.tsv",
                                       "observables.tsv", "measurements.tsv", "model.xml"};
  std::map<std::string, std::string> files;
  std::size_t at = 0;
  for (const char* name : kNames) {
    const std::size_t end = text.find("\n----\n", at);
    files[name] = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 6;
  }
  try {
    zelk::ImportPetab("problem.yaml", [&](const std::string& name) {
      const auto f = files.find(name);
      if (f == files.end()) throw zelk::ImportRefusal("no file " + name);
      return f->second;
    });
  } catch (const zelk::ImportRefusal&) {
  }
  return 0;
}
