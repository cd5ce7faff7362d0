#include "base/foreign_data_file.h"

#include <cstring>
#include <limits>

namespace zelk {

namespace {

std::int16_t ReadInt16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(std::uint16_t{p[0]} | (std::uint16_t{p[1]} << 8));
}

std::uint64_t Layout(std::int32_t count) {
  return count > 0 ? static_cast<std::uint64_t>(count) : 0;
}

}  // namespace

std::uint64_t ForeignValueBytes(const DataFileHeader& header) {
  // 16-bit counts: at most 10 * 32767 * 65534, far below 2^64.
  return kForeignValueSize * Layout(header.EventCount) *
         (Layout(header.IndepCount) + Layout(header.DepCount));
}

DataFileCheck CheckForeignDataFile(const std::vector<std::uint8_t>& bytes, DataFileHeader& header,
                                   Extended80& marker) {
  if (bytes.size() < 3 || bytes[0] != 'G' || bytes[1] != 'R' || bytes[2] != 'D')
    return DataFileCheck::BadHeader;
  if (bytes.size() < 5) return DataFileCheck::Truncated;
  if (bytes[3] != 2 || bytes[4] != 0) return DataFileCheck::BadVersion;
  if (bytes.size() < kForeignHeaderSize) return DataFileCheck::Truncated;
  header.IndepCount = ReadInt16(&bytes[5]);
  header.DepCount = ReadInt16(&bytes[7]);
  header.EventCount = ReadInt16(&bytes[9]);
  std::memcpy(marker.data(), &bytes[11], marker.size());
  if (bytes.size() - kForeignHeaderSize < ForeignValueBytes(header))
    return DataFileCheck::Truncated;
  return DataFileCheck::Ok;
}

bool MatchesMissingMarker(const Extended80& value, const Extended80& marker) {
  static_assert(std::numeric_limits<long double>::digits == 64,
                "long double must be the x87 extended format");
  long double a = 0, b = 0;
  std::memcpy(&a, value.data(), value.size());
  std::memcpy(&b, marker.data(), marker.size());
  return !(a < b) && !(a > b);
}

void DecodeForeignValues(const std::vector<std::uint8_t>& bytes, const DataFileHeader& header,
                         const Extended80& marker, TDataSet& data) {
  const auto events = static_cast<std::int64_t>(Layout(header.EventCount));
  if (events == 0) return;
  std::size_t offset = kForeignHeaderSize;
  const auto indep = static_cast<std::int64_t>(Layout(header.IndepCount));
  const auto dep = static_cast<std::int64_t>(Layout(header.DepCount));
  if (!FitsInMemory(events, indep, dep)) return;  // the reader refuses such a file first
  Hold(data, static_cast<int>(events), static_cast<int>(indep), static_cast<int>(dep));
  auto store = [&](double& value, std::uint8_t& defined) {
    Extended80 ext;
    std::memcpy(ext.data(), &bytes.at(offset), ext.size());
    offset += kForeignValueSize;
    defined = !MatchesMissingMarker(ext, marker);
    value = defined ? ExtendedToDouble(ext) : 0.0;
  };
  for (std::int64_t i = 1; i <= indep; ++i)
    for (std::int64_t j = 1; j <= events; ++j) store(data.XData.X[j][i], data.XData.Defined[j][i]);
  for (std::int64_t i = 1; i <= dep; ++i)
    for (std::int64_t j = 1; j <= events; ++j) store(data.YData.M[j][i], data.YData.Defined[j][i]);
}

}  // namespace zelk
