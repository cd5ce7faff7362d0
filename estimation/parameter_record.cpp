#include "estimation/parameter_record.h"

#include <algorithm>

namespace zelk {

namespace {

void StartSlots(TParameterRecord& r, int from, int to) {
  for (int i = from; i <= to; ++i) {
    r.TrialValue[i] = r.Value[i] = 1.0;
    r.MinBound[i] = 0.0;
    r.MaxBound[i] = 10000.0;
    r.Region[i] = 10.0;
  }
}

}  // namespace

TParameterRecord StartParameterRecord() {
  TParameterRecord r{};
  r.Count = 1;
  StartSlots(r, 1, kMaxParams);
  return r;
}

void Resize(TParameterRecord& r, int count) {
  const int room = Room(r);
  if (count > room) {
    for (T20Vector* v : {&r.TrialValue, &r.Value, &r.SearchBest, &r.SpareA, &r.SpareB,
                         &r.LimitPoint, &r.Region, &r.RegionWeight, &r.MaxBound, &r.MinBound,
                         &r.HiFLimit, &r.LoFLimit, &r.StdError, &r.InitialValue})
      v->Hold(count);
    for (TParamFlags* f : {&r.Fixed, &r.HiFValid, &r.LoFValid, &r.StdErrValid}) f->Hold(count);
    r.Scale.Hold(count);
    for (TParamPoints* points : {&r.HiLimitPoints, &r.LoLimitPoints}) {
      points->Hold(count);
      for (T20Vector& point : *points) point.Hold(count);
    }
    StartSlots(r, room + 1, count);
  }
  r.Count = count;
}

void ResetFLimits(TParameterRecord& record) {
  record.HiFLimit = record.Value;
  record.LoFLimit = record.Value;
}

void SetBound(TParameterRecord& record, int i, TBound which, double v) {
  if (i < 1 || i > Room(record)) return;
  (which == TBound::Min ? record.MinBound : record.MaxBound)[i] = v;
  record.Region[i] =
      std::max(record.MaxBound[i] - record.Value[i], record.Value[i] - record.MinBound[i]);
}

JacobianColumns JacobianColumnsOf(const TParameterRecord& record) {
  JacobianColumns columns;
  columns.Lower.Hold(record.Count);
  columns.Upper.Hold(record.Count);
  for (int k = 1; k <= record.Count; ++k) {
    columns.Params.push_back(k);
    columns.Lower[k] = record.MinBound[k];
    columns.Upper[k] = record.MaxBound[k];
  }
  return columns;
}

}  // namespace zelk
