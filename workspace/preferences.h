#pragma once
// The user's settings with their defaults. They are read where they are used.

#include <array>
#include <cstdint>
#include <string>

namespace zelk {

struct TZelkPrefs {
  std::string CompilerPath;
  std::string ModelLocation;
  std::string DataLocation;
  bool SourcePreview = true;
  bool AutoCompile = true;
  bool ShowIntegrationErrors = true;
  std::int32_t VertPercentage = 50;
  std::int32_t HorizPercentage = 100;
  float CovThreshold = 0.9f;
  bool BranchNumbers = true;
};

}  // namespace zelk
