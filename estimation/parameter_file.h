#pragma once
// The parameter file (.par). A table of at most 20 parameters, all on the linear scale, is
// stored as the classic record: 9504 bytes, no header, the table as it lay in memory on
// x86-64 (offsets below). A larger table, or one with a logarithmic scale, is stored as text
// that says its own size: "ZELK PARAMETERS 2", then "Count n" and one line per field with
// its n values (17 significant digits), the limit points one line each.

#include <cstdint>
#include <string>
#include <vector>

#include "estimation/parameter_record.h"

namespace zelk {

inline constexpr std::size_t kParameterFileSize = 9504;
inline constexpr const char* kParameterTextMagic = "ZELK PARAMETERS 2";

// The classic record holds the table exactly.
bool FitsClassicParameterFile(const TParameterRecord& record);

std::vector<std::uint8_t> EncodeParameterFile(const TParameterRecord& record);

// Decodes `bytes` into `out`; "" on success, otherwise why the file is refused (too short, a
// Count outside its range, a line that cannot be read), and `out` is unchanged. In the
// classic record flag bytes other than 0 read as true; a longer file is read for its first
// record only.
std::string DecodeParameterFile(const std::vector<std::uint8_t>& bytes, TParameterRecord& out);

// Reads a regular file; "" or the reason it cannot.
std::string ReadParameterFile(const std::string& path, TParameterRecord& out);

}  // namespace zelk
