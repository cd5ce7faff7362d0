// Open Data File's reader for the foreign ".gr2" format.
#include <memory>

#include "base/foreign_data_file.h"
#include "base/messages.h"
#include "workspace/workspace.h"

namespace zelk {

namespace {

// Far above any file whose counts fit the workspace; bigger counts are clamped anyway.
constexpr std::uint64_t kForeignReadLimit = 64u << 20;

}  // namespace

bool Workspace::ReadForeignDataFile(const std::string& path, bool* ioError) {
  if (ioError) *ioError = false;
  std::vector<std::uint8_t> bytes;
  std::uint64_t fileSize = 0;
  std::string reason;
  if (!ReadFileHead(path, kForeignReadLimit, bytes, fileSize, reason)) {
    ShowError(FillPlaceholders(msg::kCannotOpen, {path, reason}));
    if (ioError) *ioError = true;
    return false;
  }
  DataFileHeader header;
  Extended80 marker{};
  const DataFileCheck check = CheckForeignDataFile(bytes, header, marker);
  const std::uint64_t needed = kForeignHeaderSize + ForeignValueBytes(header);
  switch (check) {
    case DataFileCheck::BadHeader:
      ShowError(std::string(msg::kHeaderInvalid) + msg::kOperationCancelled);
      return false;
    case DataFileCheck::BadVersion:
      ShowError(std::string(msg::kInvalidVersion) + msg::kOperationCancelled);
      return false;
    case DataFileCheck::Truncated:
      // A file whose counts need more than was read: larger than the limit, or cut short.
      if (needed > kForeignReadLimit && fileSize >= needed)
        ShowError(FillPlaceholders(msg::kDataFileTooLarge, {path, std::to_string(needed),
                                                            std::to_string(kForeignReadLimit)}) +
                  msg::kOperationCancelled);
      else
        ShowError(FillPlaceholders(msg::kTruncated,
                                   {path, std::to_string(fileSize), std::to_string(needed)}) +
                  msg::kOperationCancelled);
      if (ioError) *ioError = true;
      return false;
    case DataFileCheck::Ok:
      break;
  }
  // Decoded aside first: an infinite value is refused before anything changes. (A NaN
  // matches the marker and is missing.)
  auto scratch = std::make_unique<TDataSet>();
  DecodeForeignValues(bytes, header, marker, *scratch);
  if (const std::string place = NonFiniteValuePlace(*scratch, header); !place.empty()) {
    ShowError(FillPlaceholders(msg::kNonFiniteValue, {path, place}) + msg::kOperationCancelled);
    return false;
  }
  dimensions_.SetText(Dimension::Indep, std::to_string(header.IndepCount));
  dimensions_.SetText(Dimension::Dep, std::to_string(header.DepCount));
  dimensions_.SetText(Dimension::Events, std::to_string(header.EventCount));
  DecodeForeignValues(bytes, header, marker, MeasuredData);
  grid_.RewriteFromData();
  return true;
}

}  // namespace zelk
