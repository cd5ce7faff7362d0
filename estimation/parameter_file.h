#pragma once
// The parameter file (.par): exactly one parameter record as it lies in memory, 9504 bytes,
// no header. A longer file is read for its first record only.

#include <cstdint>
#include <string>
#include <vector>

#include "estimation/parameter_record.h"

namespace zelk {

inline constexpr std::size_t kParameterFileSize = sizeof(TParameterRecord);

std::vector<std::uint8_t> EncodeParameterFile(const TParameterRecord& record);

// Decodes the first record of `bytes` into `out`; "" on success, otherwise why the file is
// refused (too short, a Count outside 0..20), and `out` is unchanged. Flag bytes other than
// 0 read as true.
std::string DecodeParameterFile(const std::vector<std::uint8_t>& bytes, TParameterRecord& out);

// Reads at most one record from a regular file; "" or the reason it cannot.
std::string ReadParameterFile(const std::string& path, TParameterRecord& out);

}  // namespace zelk
