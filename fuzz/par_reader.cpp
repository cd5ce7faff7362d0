// The parameter file reader.
#include <cstdint>
#include <vector>

#include "estimation/parameter_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zelk::TParameterRecord record = zelk::StartParameterRecord();
  if (zelk::DecodeParameterFile({data, data + size}, record).empty()) {
    // A table taken in is written and read back to the same file.
    const std::vector<std::uint8_t> again = zelk::EncodeParameterFile(record);
    zelk::TParameterRecord back = zelk::StartParameterRecord();
    if (!zelk::DecodeParameterFile(again, back).empty()) __builtin_trap();
    if (zelk::EncodeParameterFile(back) != again) __builtin_trap();
  }
  return 0;
}
