// A model file as the window and zelkcli translate read it: rich text, or plain text with its
// line breaks made LF.
#include <cstdint>
#include <string>

#include "presentation/rich_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zelk::ModelTextFromFile(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
