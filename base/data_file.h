#pragma once
// The .zkd data file: "ZKD", version 1, reserved 0, three 32-bit counts, then every
// independent and every measured value, variable by variable and event by event, each as a
// 10-byte x87 extended value followed by a defined byte. Little-endian throughout.

#include <cstdint>
#include <string>
#include <vector>

#include "base/data_set.h"

namespace zelk {

inline constexpr std::size_t kDataFileHeaderSize = 17;
inline constexpr std::size_t kDataFileValueSize = 11;
// The largest valid file: every variable of every event at full capacity.
inline constexpr std::uint64_t kDataFileMaxSize =
    kDataFileHeaderSize + kDataFileValueSize * kMaxEvents * (kMaxIndep + kMaxDep);
// The most ReadWholeFile reads: far beyond any model text, log or settings file.
inline constexpr std::uint64_t kWholeFileLimit = 64u << 20;

// Whether the data set's counts fit the .zkd layout (kMaxEvents events of kMaxIndep and
// kMaxDep variables), which other programs read; a larger set is saved as CSV.
bool FitsDataFile(const TDataSet& data);
// The refusal naming those limits and the alternative.
std::string DataFileLimitsMessage(const TDataSet& data);

// Little-endian 32-bit integers, as every binary file of the workbench stores its counts.
std::int32_t ReadInt32(const std::uint8_t* p);
void AppendInt32(std::vector<std::uint8_t>& out, std::int32_t value);

enum class DataFileCheck { Ok, BadHeader, BadVersion, Truncated };

struct DataFileHeader {
  std::int32_t IndepCount = 0;
  std::int32_t DepCount = 0;
  std::int32_t EventCount = 0;
};

// Checks magic, version and reserved byte, then that the file is long enough for its counts
// (negative counts hold no values). `header` is filled whenever the 17 header bytes exist.
DataFileCheck CheckDataFile(const std::vector<std::uint8_t>& bytes, DataFileHeader& header);

// Bytes the values of a header take after the header itself.
std::uint64_t DataFileValueBytes(const DataFileHeader& header);

// Reads the values of a checked file into rows 1.. of `data`, following the file's own
// counts; values of variables or events beyond the capacity are skipped. Counts in `data`
// are not touched.
void DecodeDataValues(const std::vector<std::uint8_t>& bytes, const DataFileHeader& header,
                      TDataSet& data);

// The first defined value of rows 1..EventCount (within the counts of `header`) that is not
// a finite number, as "event J, X[I]" or "event J, Y[I]"; "" when every value is finite.
std::string NonFiniteValuePlace(const TDataSet& data, const DataFileHeader& header);

// The file image of `data` with the counts it holds.
std::vector<std::uint8_t> EncodeDataFile(const TDataSet& data);

// Whole-file I/O. On failure returns false and leaves a readable reason in `error`.
// ReadWholeFile reads regular files of at most kWholeFileLimit bytes; anything else is
// refused without reading (a FIFO would block, /dev/zero never ends).
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);
// Reads at most `maxBytes` from the start of a regular file and gives its whole size in
// `fileSize`, so a reader can compare the size with the counts before trusting either.
// Folders, devices and FIFOs are refused (a FIFO would block, /dev/zero never ends).
bool ReadFileHead(const std::string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes,
                  std::uint64_t& fileSize, std::string& error);
// Writes into a temporary file beside `path` and renames it over `path` only when every
// byte reached the disk, so a failed save never damages the file already there.
bool WriteFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes,
                        std::string& error);

}  // namespace zelk
