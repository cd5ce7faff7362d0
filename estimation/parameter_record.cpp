#include "estimation/parameter_record.h"

#include <algorithm>
#include <cstring>

namespace zelk {

TParameterRecord StartParameterRecord() {
  TParameterRecord r;
  std::memset(&r, 0, sizeof r);
  r.Count = 1;
  for (int i = 1; i <= kMaxParams; ++i) {
    r.TrialValue[i] = r.Value[i] = 1.0;
    r.MinBound[i] = 0.0;
    r.MaxBound[i] = 10000.0;
    r.Region[i] = 10.0;
  }
  return r;
}

void ResetFLimits(TParameterRecord& record) {
  record.HiFLimit = record.Value;
  record.LoFLimit = record.Value;
}

void SetBound(TParameterRecord& record, int i, TBound which, double v) {
  if (i < 1 || i > kMaxParams) return;
  (which == TBound::Min ? record.MinBound : record.MaxBound)[i] = v;
  record.Region[i] =
      std::max(record.MaxBound[i] - record.Value[i], record.Value[i] - record.MinBound[i]);
}

JacobianColumns JacobianColumnsOf(const TParameterRecord& record) {
  JacobianColumns columns;
  for (int k = 1; k <= record.Count; ++k) {
    columns.Params.push_back(k);
    columns.Lower[k] = record.MinBound[k];
    columns.Upper[k] = record.MaxBound[k];
  }
  return columns;
}

}  // namespace zelk
