// The .gr2 reader: header check, then the values into a data set and its ranges.
#include <cstdint>
#include <memory>
#include <vector>

#include "base/foreign_data_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  zelk::DataFileHeader header;
  zelk::Extended80 marker{};
  if (zelk::CheckForeignDataFile(bytes, header, marker) != zelk::DataFileCheck::Ok) return 0;
  static auto set = std::make_unique<zelk::TDataSet>();
  zelk::DecodeForeignValues(bytes, header, marker, *set);
  zelk::ComputeRanges(*set);
  return 0;
}
