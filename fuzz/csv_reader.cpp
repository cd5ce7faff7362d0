// The CSV reader of zelkcli convert.
#include <cstdint>
#include <memory>
#include <string>

#include "base/csv_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static auto set = std::make_unique<zelk::TDataSet>();
  std::string error;
  zelk::CsvToDataSet(std::string(reinterpret_cast<const char*>(data), size), *set, error);
  return 0;
}
