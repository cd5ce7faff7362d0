#include "base/data_file_reader.h"

#include <functional>

#include "base/csv_table.h"
#include "base/file_names.h"
#include "base/foreign_data_file.h"
#include "base/format.h"
#include "base/messages.h"

namespace zelk {

namespace {

// Far above any .gr2 file whose counts fit a data set; bigger counts are clamped anyway.
constexpr std::uint64_t kForeignReadLimit = 64u << 20;

// What one data file format gives the shared reader.
struct DataFileFormat {
  std::size_t HeaderSize;
  std::uint64_t MaxSize;  // no valid file is longer: a longer one is never read whole
  std::function<DataFileCheck(const std::vector<std::uint8_t>&, DataFileHeader&)> Check;
  std::function<std::uint64_t(const DataFileHeader&)> ValueBytes;
  std::function<void(const std::vector<std::uint8_t>&, const DataFileHeader&, TDataSet&)> Decode;
};

DataFileRead ReadDataFileOf(const DataFileFormat& format, const std::string& path) {
  DataFileRead read;
  auto refuse = [&](const std::string& text, bool io) {
    read.Error = text + msg::kOperationCancelled;
    read.IoError = io;
    read.Refused = !io;
    return std::move(read);
  };
  std::vector<std::uint8_t> bytes;
  std::uint64_t fileSize = 0;
  std::string reason;
  if (!ReadFileHead(path, format.MaxSize, bytes, fileSize, reason)) {
    read.Error = FillPlaceholders(msg::kCannotOpen, {path, reason});
    read.IoError = true;
    return read;
  }
  DataFileHeader& header = read.Header;
  const DataFileCheck check = format.Check(bytes, header);
  const std::uint64_t needed = format.HeaderSize + format.ValueBytes(header);
  switch (check) {
    case DataFileCheck::BadHeader:
      return refuse(msg::kHeaderInvalid, false);
    case DataFileCheck::BadVersion:
      return refuse(msg::kInvalidVersion, false);
    case DataFileCheck::Truncated:
      if (bytes.size() >= format.HeaderSize && needed > format.MaxSize)
        return refuse(FillPlaceholders(msg::kDataFileTooLarge, {path, std::to_string(needed),
                                                                std::to_string(format.MaxSize)}),
                      true);
      return refuse(FillPlaceholders(msg::kTruncated,
                                     {path, std::to_string(fileSize), std::to_string(needed)}),
                    true);
    case DataFileCheck::Ok:
      if (fileSize > needed)
        return refuse(FillPlaceholders(msg::kDataFileTooLong,
                                       {path, std::to_string(fileSize), std::to_string(needed)}),
                      true);
      break;
  }
  // A NaN or an infinity would make every objective NaN. (In a .gr2 file a NaN matches the
  // marker and is missing.)
  if (!FitsInMemory(header.EventCount, header.IndepCount, header.DepCount))
    return refuse(FillPlaceholders(msg::kDataSetTooLarge,
                                   {path, std::to_string(header.EventCount),
                                    std::to_string(std::int64_t{header.IndepCount} + header.DepCount),
                                    std::to_string(kMaxDataCells)}),
                  false);
  read.Data = std::make_unique<TDataSet>();
  format.Decode(bytes, header, *read.Data);
  if (const std::string place = NonFiniteValuePlace(*read.Data, header); !place.empty()) {
    read.Data.reset();
    return refuse(FillPlaceholders(msg::kNonFiniteValue, {path, place}), false);
  }
  return read;
}

}  // namespace

DataFileRead ReadOwnDataFile(const std::string& path) {
  return ReadDataFileOf(
      {kDataFileHeaderSize, kDataFileMaxSize, CheckDataFile, DataFileValueBytes, DecodeDataValues},
      path);
}

DataFileRead ReadForeignDataFile(const std::string& path) {
  Extended80 marker{};
  return ReadDataFileOf(
      {kForeignHeaderSize, kForeignReadLimit,
       [&marker](const auto& bytes, DataFileHeader& header) {
         return CheckForeignDataFile(bytes, header, marker);
       },
       ForeignValueBytes,
       [&marker](const auto& bytes, const DataFileHeader& header, TDataSet& data) {
         DecodeForeignValues(bytes, header, marker, data);
       }},
      path);
}

DataFileRead ReadCsvDataFile(const std::string& path) {
  DataFileRead read;
  std::vector<std::uint8_t> bytes;
  std::uint64_t size = 0;
  std::string reason;
  if (!ReadFileHead(path, kCsvFileLimit, bytes, size, reason) || size > kCsvFileLimit) {
    if (reason.empty()) reason = FillPlaceholders(msg::kCsvFileTooLarge, {std::to_string(kCsvFileLimit >> 20)});
    read.Error = FillPlaceholders(msg::kCannotOpen, {path, reason});
    read.IoError = true;
    return read;
  }
  auto data = std::make_unique<TDataSet>();
  if (!CsvToDataSet(std::string(bytes.begin(), bytes.end()), *data, reason)) {
    read.Error = path + ": " + reason + msg::kOperationCancelled;
    read.Refused = true;
    return read;
  }
  read.Header = {data->XData.IndepCount, data->YData.DepCount, data->YData.EventCount};
  read.Data = std::move(data);
  return read;
}

DataFileRead ReadAnyDataFile(const std::string& path) {
  const std::string lower = LowercaseExtension(path);
  if (lower == ".zkd") return ReadOwnDataFile(path);
  if (lower == ".csv") return ReadCsvDataFile(path);
  if (lower == ".gr2") return ReadForeignDataFile(path);
  DataFileRead read;
  if (lower == ".grd") {
    read.Error = msg::kNotImplemented;
    return read;
  }
  std::string upper = lower;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  read.Error = FillPlaceholders(msg::kNotSupported, {upper});
  return read;
}

}  // namespace zelk
