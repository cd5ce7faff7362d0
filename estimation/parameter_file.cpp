#include "estimation/parameter_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/csv_table.h"
#include "estimation/scales.h"

namespace zelk {

namespace {

// The classic record's fields in file order; every vector holds slots 0..20.
struct VectorField {
  const char* Name;
  T20Vector TParameterRecord::*Member;
};
constexpr VectorField kVectors[] = {
    {"TrialValue", &TParameterRecord::TrialValue},
    {"Value", &TParameterRecord::Value},
    {"SearchBest", &TParameterRecord::SearchBest},
    {"SpareA", &TParameterRecord::SpareA},
    {"SpareB", &TParameterRecord::SpareB},
    {"LimitPoint", &TParameterRecord::LimitPoint},
    {"Region", &TParameterRecord::Region},
    {"RegionWeight", &TParameterRecord::RegionWeight},
    {"MaxBound", &TParameterRecord::MaxBound},
    {"MinBound", &TParameterRecord::MinBound},
    {"HiFLimit", &TParameterRecord::HiFLimit},
    {"LoFLimit", &TParameterRecord::LoFLimit},
    {"StdError", &TParameterRecord::StdError},
    {"InitialValue", &TParameterRecord::InitialValue},
};
struct FlagField {
  const char* Name;
  TParamFlags TParameterRecord::*Member;
};
constexpr FlagField kFlags[] = {
    {"Fixed", &TParameterRecord::Fixed},
    {"HiFValid", &TParameterRecord::HiFValid},
    {"LoFValid", &TParameterRecord::LoFValid},
    {"StdErrValid", &TParameterRecord::StdErrValid},
};
constexpr std::size_t kSlots = kMaxParams + 1;
constexpr std::size_t kVectorsAt = 8, kFlagsAt = 2360, kPointsAt = 2448;
constexpr std::size_t kVectorBytes = kSlots * sizeof(double);
static_assert(kVectorsAt + std::size(kVectors) * kVectorBytes == kFlagsAt);
static_assert(kFlagsAt + std::size(kFlags) * kSlots + 4 == kPointsAt);
static_assert(kPointsAt + 2 * kSlots * kVectorBytes == kParameterFileSize);


std::vector<std::uint8_t> EncodeClassic(const TParameterRecord& r) {
  std::vector<std::uint8_t> bytes(kParameterFileSize, 0);
  std::memcpy(bytes.data(), &r.Count, 4);
  std::size_t at = kVectorsAt;
  for (const VectorField& f : kVectors) {
    std::memcpy(&bytes[at], (r.*f.Member).data(), kVectorBytes);
    at += kVectorBytes;
  }
  for (const FlagField& f : kFlags) {
    for (std::size_t i = 0; i < kSlots; ++i) bytes[at + i] = (r.*f.Member)[i] != 0;
    at += kSlots;
  }
  at = kPointsAt;
  for (const TParamPoints* points : {&r.HiLimitPoints, &r.LoLimitPoints})
    for (std::size_t i = 0; i < kSlots; ++i) {
      std::memcpy(&bytes[at], (*points)[i].data(), kVectorBytes);
      at += kVectorBytes;
    }
  return bytes;
}

std::string DecodeClassic(const std::vector<std::uint8_t>& bytes, TParameterRecord& out) {
  if (bytes.size() < kParameterFileSize)
    return "it holds " + std::to_string(bytes.size()) + " bytes, a parameter record needs " +
           std::to_string(kParameterFileSize);
  std::int32_t count = 0;
  std::memcpy(&count, bytes.data(), sizeof count);
  if (count < 0 || count > kMaxParams)
    return "its parameter count " + std::to_string(count) + " is not between 0 and 20";
  TParameterRecord r = StartParameterRecord();
  std::size_t at = kVectorsAt;
  for (const VectorField& f : kVectors) {
    std::memcpy((r.*f.Member).data(), &bytes[at], kVectorBytes);
    at += kVectorBytes;
  }
  for (const FlagField& f : kFlags) {
    for (std::size_t i = 0; i < kSlots; ++i) (r.*f.Member)[i] = bytes[at + i] != 0;
    at += kSlots;
  }
  at = kPointsAt;
  for (TParamPoints* points : {&r.HiLimitPoints, &r.LoLimitPoints})
    for (std::size_t i = 0; i < kSlots; ++i) {
      std::memcpy((*points)[i].data(), &bytes[at], kVectorBytes);
      at += kVectorBytes;
    }
  r.Count = count;
  out = std::move(r);
  return {};
}

std::vector<std::uint8_t> EncodeText(const TParameterRecord& r) {
  std::string text = std::string(kParameterTextMagic) + "\nCount " + std::to_string(r.Count) + "\n";
  text += "Scale";
  for (int i = 1; i <= r.Count; ++i)
    text += std::string(" ") + ScaleName(r.Scale[i]);
  text += "\n";
  for (const VectorField& f : kVectors) {
    text += f.Name;
    for (int i = 1; i <= r.Count; ++i) text += " " + ExactText((r.*f.Member)[i]);
    text += "\n";
  }
  for (const FlagField& f : kFlags) {
    text += f.Name;
    for (int i = 1; i <= r.Count; ++i) text += (r.*f.Member)[i] ? " 1" : " 0";
    text += "\n";
  }
  for (const auto& [name, points] : {std::pair{"HiLimitPoint", &r.HiLimitPoints},
                                     std::pair{"LoLimitPoint", &r.LoLimitPoints}})
    for (int i = 1; i <= r.Count; ++i) {
      text += std::string(name) + " " + std::to_string(i);
      for (int k = 1; k <= r.Count; ++k) text += " " + ExactText((*points)[i][k]);
      text += "\n";
    }
  return {text.begin(), text.end()};
}

// One line "Name v1 .. vCount" (or "Name i v1 .. vCount" for a limit point).
bool ReadValues(std::istringstream& in, std::vector<double>& values, int count) {
  values.assign(static_cast<std::size_t>(count) + 1, 0.0);
  std::string word;
  for (int i = 1; i <= count; ++i) {
    if (!(in >> word)) return false;
    const char* end = word.data() + word.size();
    // from_chars reads "inf" and "nan" as well: a table keeps what it held.
    if (std::from_chars(word.data(), end, values[i]).ptr != end) return false;
  }
  return !(in >> word);
}

std::string DecodeText(const std::string& text, TParameterRecord& out) {
  std::istringstream lines(text);
  std::string line;
  std::getline(lines, line);
  int count = -1;
  if (std::getline(lines, line)) {
    std::istringstream in(line);
    std::string word;
    if (!(in >> word) || word != "Count" || !(in >> count) || count < 0 ||
        count > kMaxParamCount)
      return "its second line is not \"Count n\" with n from 0 to " +
             std::to_string(kMaxParamCount);
  }
  if (count < 0) return "it has no \"Count\" line";
  TParameterRecord r = StartParameterRecord();
  Resize(r, count);
  std::vector<double> values;
  int lineNumber = 2;
  while (std::getline(lines, line)) {
    ++lineNumber;
    std::istringstream in(line);
    std::string name;
    if (!(in >> name)) continue;
    const std::string where = "line " + std::to_string(lineNumber) + " (" + name + ")";
    bool known = false;
    if (name == "Scale") {
      known = true;
      for (int i = 1; i <= count; ++i) {
        std::string scale;
        in >> scale;
        const auto named = ScaleFromName(scale);
        if (!named || scale != ScaleName(*named))
          return where + " names no scale linear, ln or log10";
        r.Scale[i] = *named;
      }
      continue;
    }
    for (const VectorField& f : kVectors)
      if (name == f.Name) {
        known = true;
        if (!ReadValues(in, values, count)) return where + " does not hold " + std::to_string(count) + " numbers";
        for (int i = 1; i <= count; ++i) (r.*f.Member)[i] = values[i];
      }
    for (const FlagField& f : kFlags)
      if (name == f.Name) {
        known = true;
        if (!ReadValues(in, values, count)) return where + " does not hold " + std::to_string(count) + " flags";
        for (int i = 1; i <= count; ++i) (r.*f.Member)[i] = values[i] != 0;
      }
    if (name == "HiLimitPoint" || name == "LoLimitPoint") {
      known = true;
      int i = 0;
      if (!(in >> i) || i < 1 || i > count) return where + " names no parameter";
      if (!ReadValues(in, values, count)) return where + " does not hold " + std::to_string(count) + " numbers";
      TParamPoints& points = name == "HiLimitPoint" ? r.HiLimitPoints : r.LoLimitPoints;
      for (int k = 1; k <= count; ++k) points[i][k] = values[k];
    }
    if (!known) return where + " is not a field of a parameter table";
  }
  out = std::move(r);
  return {};
}

bool IsText(const std::vector<std::uint8_t>& bytes) {
  const std::size_t n = std::strlen(kParameterTextMagic);
  return bytes.size() >= n && std::memcmp(bytes.data(), kParameterTextMagic, n) == 0;
}

}  // namespace

bool FitsClassicParameterFile(const TParameterRecord& record) {
  if (record.Count > kMaxParams) return false;
  for (int i = 1; i <= record.Count; ++i)
    if (record.Scale[i] != TScale::Linear) return false;
  return true;
}

std::vector<std::uint8_t> EncodeParameterFile(const TParameterRecord& record) {
  return FitsClassicParameterFile(record) ? EncodeClassic(record) : EncodeText(record);
}

std::string DecodeParameterFile(const std::vector<std::uint8_t>& bytes, TParameterRecord& out) {
  if (IsText(bytes)) return DecodeText(std::string(bytes.begin(), bytes.end()), out);
  return DecodeClassic(bytes, out);
}

std::string ReadParameterFile(const std::string& path, TParameterRecord& out) {
  std::error_code ec;
  // A device or a pipe could feed bytes for ever or never: only regular files are read.
  if (!std::filesystem::is_regular_file(path, ec))
    return std::filesystem::exists(path, ec) ? "it is not a regular file"
                                             : std::string(std::strerror(ENOENT));
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::strerror(errno);
  // The text of the largest table: 2 Count^2 limit values of at most 25 characters.
  constexpr std::size_t kLimit = 2 * std::size_t{kMaxParamCount} * (kMaxParamCount + 1) * 25 + 4096;
  std::vector<std::uint8_t> bytes(kParameterFileSize);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (IsText(bytes)) {
    std::vector<char> rest(1 << 20);
    while (in && bytes.size() <= kLimit) {
      in.read(rest.data(), static_cast<std::streamsize>(rest.size()));
      bytes.insert(bytes.end(), rest.begin(), rest.begin() + in.gcount());
    }
    if (bytes.size() > kLimit) return "it is longer than any parameter table";
  }
  if (in.bad()) return std::strerror(errno);
  return DecodeParameterFile(bytes, out);
}

}  // namespace zelk
