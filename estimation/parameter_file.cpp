#include "estimation/parameter_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace zelk {

namespace {

// A bool object may only hold 0 or 1: a file's other byte values become true.
void NormaliseFlags(std::uint8_t* record, std::size_t offset) {
  for (int i = 0; i <= kMaxParams; ++i) record[offset + i] = record[offset + i] != 0;
}

}  // namespace

std::vector<std::uint8_t> EncodeParameterFile(const TParameterRecord& record) {
  std::vector<std::uint8_t> bytes(kParameterFileSize);
  std::memcpy(bytes.data(), &record, kParameterFileSize);
  return bytes;
}

std::string DecodeParameterFile(const std::vector<std::uint8_t>& bytes, TParameterRecord& out) {
  if (bytes.size() < kParameterFileSize)
    return "it holds " + std::to_string(bytes.size()) + " bytes, a parameter record needs " +
           std::to_string(kParameterFileSize);
  std::vector<std::uint8_t> record(bytes.begin(), bytes.begin() + kParameterFileSize);
  std::int32_t count = 0;
  std::memcpy(&count, record.data() + offsetof(TParameterRecord, Count), sizeof count);
  if (count < 0 || count > kMaxParams)
    return "its parameter count " + std::to_string(count) + " is not between 0 and 20";
  for (std::size_t offset :
       {offsetof(TParameterRecord, Fixed), offsetof(TParameterRecord, HiFValid),
        offsetof(TParameterRecord, LoFValid), offsetof(TParameterRecord, StdErrValid)})
    NormaliseFlags(record.data(), offset);
  std::memcpy(&out, record.data(), kParameterFileSize);
  return {};
}

std::string ReadParameterFile(const std::string& path, TParameterRecord& out) {
  std::error_code ec;
  // A device or a pipe could feed bytes for ever or never: only regular files are read.
  if (!std::filesystem::is_regular_file(path, ec))
    return std::filesystem::exists(path, ec) ? "it is not a regular file"
                                             : std::string(std::strerror(ENOENT));
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::strerror(errno);
  std::vector<std::uint8_t> bytes(kParameterFileSize);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad()) return std::strerror(errno);
  return DecodeParameterFile(bytes, out);
}

}  // namespace zelk
