// The model language: the editor's text translated into a library source.
#include <cstdint>
#include <string>

#include "model/model_language.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zelk::ModelTranslator translator(std::string(reinterpret_cast<const char*>(data), size),
                                   "fuzz");
  translator.Translate();
  return 0;
}
