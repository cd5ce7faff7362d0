// The rich-text reader of model files.
#include <cstdint>
#include <string>

#include "presentation/rich_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text;
  zelk::ReadRtfText(std::string(reinterpret_cast<const char*>(data), size), text);
  return 0;
}
