#pragma once
// The foreign ".gr2" data file: "GRD", version 2, reserved 0, three 16-bit counts, a 10-byte
// missing-value marker, then every independent and every measured value, variable by variable
// and event by event, each as a 10-byte x87 extended value. Little-endian throughout. A value
// equal to the marker is missing. There is no writer: the program only imports this format.

#include <cstdint>
#include <vector>

#include "base/data_file.h"
#include "base/format.h"

namespace zelk {

inline constexpr std::size_t kForeignHeaderSize = 21;
inline constexpr std::size_t kForeignValueSize = 10;

// Checks magic, version and reserved byte, then that the file is long enough for its counts
// (negative counts hold no values). `header` and `marker` are filled whenever the 21 header
// bytes exist.
DataFileCheck CheckForeignDataFile(const std::vector<std::uint8_t>& bytes, DataFileHeader& header,
                                   Extended80& marker);

// Bytes the values of a header take after the header itself.
std::uint64_t ForeignValueBytes(const DataFileHeader& header);

// Compared at extended precision; an unordered comparison (a NaN on either side) counts as
// equal, so a NaN in the file is always missing.
bool MatchesMissingMarker(const Extended80& value, const Extended80& marker);

// Reads the values of a checked file into rows 1.. of `data`, following the file's own counts
// (so a count beyond the capacity never shifts later variables); values beyond the capacity
// are skipped. A value matching the marker is stored as 0, not defined. Counts in `data` are
// not touched.
void DecodeForeignValues(const std::vector<std::uint8_t>& bytes, const DataFileHeader& header,
                         const Extended80& marker, TDataSet& data);

}  // namespace zelk
