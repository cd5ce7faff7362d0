#include "base/file_names.h"

#include <cctype>
#include <filesystem>

namespace zelk {

namespace fs = std::filesystem;

std::string FileNamePart(const std::string& path) { return fs::path(path).filename().string(); }

std::string LowercaseExtension(const std::string& path) {
  std::string extension = fs::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

std::string ProposedName(const std::string& modelPath, const char* extension) {
  std::string name = FileNamePart(modelPath);
  const auto dot = name.find_last_of('.');
  if (dot != std::string::npos) name.erase(dot);
  return name + extension;
}

std::string CompanionName(const std::string& modelPath) {
  return modelPath.substr(0, modelPath.size() >= 4 ? modelPath.size() - 4 : 0) + ".dim";
}

}  // namespace zelk
