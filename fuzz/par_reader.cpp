// The parameter file reader.
#include <cstdint>
#include <vector>

#include "estimation/parameter_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zelk::TParameterRecord record = zelk::StartParameterRecord();
  if (zelk::DecodeParameterFile({data, data + size}, record).empty()) {
    // A record taken in is written back unchanged but for its normalised flags.
    const std::vector<std::uint8_t> again = zelk::EncodeParameterFile(record);
    if (again.size() != zelk::kParameterFileSize) __builtin_trap();
  }
  return 0;
}
