// Open Data File's readers: the own ".zkd" format and the foreign ".gr2" one share every
// check, so a damaged file of either kind is refused before anything changes.
#include <memory>

#include "base/foreign_data_file.h"
#include "base/messages.h"
#include "workspace/workspace.h"

namespace zelk {

namespace {

// Far above any .gr2 file whose counts fit the workspace; bigger counts are clamped anyway.
constexpr std::uint64_t kForeignReadLimit = 64u << 20;

}  // namespace

bool Workspace::ReadDataFile(const std::string& path, bool* ioError) {
  return ReadDataFileOf(
      {kDataFileHeaderSize, kDataFileMaxSize, CheckDataFile, DataFileValueBytes, DecodeDataValues},
      path, ioError);
}

bool Workspace::ReadForeignDataFile(const std::string& path, bool* ioError) {
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
      path, ioError);
}

bool Workspace::ReadDataFileOf(const DataFileFormat& format, const std::string& path,
                               bool* ioError) {
  if (ioError) *ioError = false;
  auto refuse = [&](const std::string& text, bool io) {
    ShowError(text + msg::kOperationCancelled);
    if (io && ioError) *ioError = true;
    if (!io) grid_.RewriteFromData();
    return false;
  };
  std::vector<std::uint8_t> bytes;
  std::uint64_t fileSize = 0;
  std::string reason;
  if (!ReadFileHead(path, format.MaxSize, bytes, fileSize, reason)) {
    ShowError(FillPlaceholders(msg::kCannotOpen, {path, reason}));
    if (ioError) *ioError = true;
    return false;
  }
  DataFileHeader header;
  const DataFileCheck check = format.Check(bytes, header);
  const std::uint64_t needed = format.HeaderSize + format.ValueBytes(header);
  switch (check) {
    case DataFileCheck::BadHeader:
      return refuse(msg::kHeaderInvalid, false);
    case DataFileCheck::BadVersion:
      return refuse(msg::kInvalidVersion, false);
    case DataFileCheck::Truncated:
      // Checked before anything is applied, so a damaged file changes nothing.
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
  // A NaN or an infinity would make every objective NaN: refused before anything changes.
  // (In a .gr2 file a NaN matches the marker and is missing.)
  auto scratch = std::make_unique<TDataSet>();
  format.Decode(bytes, header, *scratch);
  if (const std::string place = NonFiniteValuePlace(*scratch, header); !place.empty())
    return refuse(FillPlaceholders(msg::kNonFiniteValue, {path, place}), false);
  dimensions_.SetText(Dimension::Indep, std::to_string(header.IndepCount));
  dimensions_.SetText(Dimension::Dep, std::to_string(header.DepCount));
  dimensions_.SetText(Dimension::Events, std::to_string(header.EventCount));
  format.Decode(bytes, header, MeasuredData);
  grid_.RewriteFromData();
  return true;
}

}  // namespace zelk
