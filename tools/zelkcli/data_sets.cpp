#include "tools/zelkcli/data_sets.h"

#include <algorithm>
#include <iostream>
#include <memory>

#include "base/data_file.h"
#include "base/data_file_reader.h"
#include "base/file_names.h"
#include "base/format.h"
#include "base/messages.h"
#include "base/csv_table.h"

namespace zelk {

std::string OneLine(const std::string& text) {
  std::string line = text;
  std::replace(line.begin(), line.end(), '\n', ' ');
  return line;
}

void Tell(const std::string& text) { std::cerr << "zelkcli: " << OneLine(text) << "\n"; }

int CountWithin(Dimension d, long long value) {
  const DimensionRange range = RangeOf(d);
  if (value >= range.Min && value <= range.Max) return static_cast<int>(value);
  Tell(FillPlaceholders(msg::kIntegerBetween,
                        {std::to_string(range.Min), std::to_string(range.Max)}));
  return static_cast<int>(std::clamp<long long>(value, range.Min, range.Max));
}

namespace {

void ApplyCounts(const TDataSet& from, long long indep, long long dep, long long events,
                 TDataSet& data) {
  data.XData.IndepCount = CountWithin(Dimension::Indep, indep);
  data.YData.DepCount = CountWithin(Dimension::Dep, dep);
  data.YData.EventCount = CountWithin(Dimension::Events, events);
  data.XData.X = from.XData.X;
  data.XData.Defined = from.XData.Defined;
  data.YData.M = from.YData.M;
  data.YData.Defined = from.YData.Defined;
  HoldCounts(data);
}

}  // namespace

std::string ReadDataSet(const std::string& path, TDataSet& data) {
  const DataFileRead read = ReadAnyDataFile(path);
  if (!read.Ok()) return read.Error;
  ApplyCounts(*read.Data, read.Header.IndepCount, read.Header.DepCount, read.Header.EventCount,
              data);
  return {};
}

std::string WriteDataSet(const std::string& path, const TDataSet& data) {
  if (!FitsDataFile(data)) return DataFileLimitsMessage(data);
  std::string reason;
  if (WriteFileReplacing(path, EncodeDataFile(data), reason)) return {};
  return std::string(msg::kSaveFailed) + "\n" + reason;
}

}  // namespace zelk
