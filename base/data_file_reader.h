#pragma once
// Reading a data file whole: the own ".zkd" format and the foreign ".gr2" one share every
// check, so a damaged file of either kind is refused before anything is applied.

#include <cstdint>
#include <memory>
#include <string>

#include "base/data_file.h"
#include "base/data_set.h"

namespace zelk {

struct DataFileRead {
  std::string Error;     // what to tell the user; empty when the file was read
  bool IoError = false;  // not read whole, cut short or too long: nothing of it is usable
  // The contents were refused (header, version, a value that is no number).
  bool Refused = false;
  DataFileHeader Header;          // the counts the file declares
  std::unique_ptr<TDataSet> Data;  // its values, up to the data set's limits; set when read
  bool Ok() const { return Error.empty(); }
};

DataFileRead ReadOwnDataFile(const std::string& path);
DataFileRead ReadForeignDataFile(const std::string& path);
// A CSV table (csv_table.h) of at most kCsvFileLimit bytes.
inline constexpr std::uint64_t kCsvFileLimit = 1ull << 30;
DataFileRead ReadCsvDataFile(const std::string& path);
// By the extension: .zkd, .gr2, .csv; anything else is an error that names it.
DataFileRead ReadAnyDataFile(const std::string& path);

}  // namespace zelk
