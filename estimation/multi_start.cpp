#include "estimation/multi_start.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <numeric>
#include <sstream>

#include "base/csv_table.h"
#include "estimation/start_pool.h"

namespace zelk {

namespace {

// SplitMix64: the same numbers from a seed on every machine and compiler.
class Numbers {
 public:
  explicit Numbers(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }  // [0, 1)
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Uniform() * static_cast<double>(n)); }

 private:
  std::uint64_t state_;
};

}  // namespace

std::vector<T20Vector> LatinHypercubeStarts(const TParameterRecord& table, int count,
                                            std::uint64_t seed) {
  std::vector<T20Vector> starts;
  if (count < 1) return starts;
  starts.assign(static_cast<std::size_t>(count), table.Value);
  const int samples = count - 1;
  if (samples == 0) return starts;
  Numbers numbers(seed);
  std::vector<std::size_t> strata(static_cast<std::size_t>(samples));
  for (int i = 1; i <= table.Count; ++i) {
    // Every parameter draws the same numbers whether it is fixed or not: fixing one does not
    // move the others' starts.
    std::iota(strata.begin(), strata.end(), 0);
    for (std::size_t k = strata.size(); k > 1; --k) std::swap(strata[k - 1], strata[numbers.Below(k)]);
    std::vector<double> within(strata.size());
    for (double& w : within) w = numbers.Uniform();
    if (table.Fixed[i]) continue;
    const double v = table.Value[i];
    double lo = table.MinBound[i], hi = table.MaxBound[i];
    const bool logarithmic = table.Scale[i] != TScale::Linear && lo > 0 && (v > 0 || hi > 0);
    if (logarithmic) {
      const double centre = v > 0 ? v : std::min(hi, std::max(lo, 1.0));
      if (!std::isfinite(hi)) hi = centre * 100;
      lo = std::log(lo);
      hi = std::log(hi);
    } else {
      if (!std::isfinite(lo)) lo = v - 100 * std::fabs(v) - 1;
      if (!std::isfinite(hi)) hi = v + 100 * std::fabs(v) + 1;
    }
    for (int k = 0; k < samples; ++k) {
      const double u = (static_cast<double>(strata[static_cast<std::size_t>(k)]) + within[static_cast<std::size_t>(k)]) / samples;
      const double x = lo + u * (hi - lo);
      starts[static_cast<std::size_t>(k + 1)][i] = logarithmic ? std::exp(x) : x;
    }
  }
  return starts;
}

std::vector<int> ShardStarts(int count, int index, int shards) {
  std::vector<int> mine;
  for (int k = index; k <= count; k += shards) mine.push_back(k);
  return mine;
}

bool StartResult::Failed() const { return !std::isfinite(Objective); }

void SortStarts(std::vector<StartResult>& results) {
  std::sort(results.begin(), results.end(), [](const StartResult& a, const StartResult& b) {
    if (a.Failed() != b.Failed()) return !a.Failed();
    if (!a.Failed() && a.Objective != b.Objective) return a.Objective < b.Objective;
    return a.Start < b.Start;
  });
}

int CountReachingBest(const std::vector<StartResult>& sorted, double relative) {
  if (sorted.empty() || sorted.front().Failed()) return 0;
  const double best = sorted.front().Objective;
  const double within = relative * std::max(1.0, std::fabs(best));
  int n = 0;
  for (const StartResult& r : sorted) n += !r.Failed() && r.Objective - best <= within;
  return n;
}

namespace {

std::string Numbers(const std::vector<double>& v) {
  std::string out;
  for (double x : v) out += ExactText(x) + " ";
  return out;
}

std::vector<double> ReadNumbers(const std::string& line) {
  std::istringstream in(line);
  std::vector<double> v;
  for (std::string word; in >> word;) v.push_back(std::strtod(word.c_str(), nullptr));
  return v;
}

}  // namespace

std::string EncodeStart(const StartResult& r) {
  std::string stop = r.Stop;
  for (char& c : stop) c = c == ' ' || c == '\n' ? '_' : c;
  return std::to_string(r.Start) + " " + ExactText(r.Objective) + " " + std::to_string(r.Solutions) +
         " " + ExactText(r.Seconds) + " " + stop + "\n" + Numbers(r.StartValues) + "\n" +
         Numbers(r.Values) + "\n";
}

bool DecodeStart(const std::string& text, StartResult& r) {
  std::istringstream in(text);
  std::string head, starts, values;
  if (!std::getline(in, head) || !std::getline(in, starts) || !std::getline(in, values)) return false;
  std::istringstream fields(head);
  std::string objective, seconds;
  if (!(fields >> r.Start >> objective >> r.Solutions >> seconds >> r.Stop)) return false;
  for (char& c : r.Stop) c = c == '_' ? ' ' : c;
  r.Objective = std::strtod(objective.c_str(), nullptr);
  r.Seconds = std::strtod(seconds.c_str(), nullptr);
  r.StartValues = ReadNumbers(starts);
  r.Values = ReadNumbers(values);
  return true;
}

std::vector<StartResult> RunStarts(const FitOptions& fit, FitProblem& problem,
                                   const TParameterRecord& table, const MultiStartOptions& options,
                                   FitObserver& quiet,
                                   const std::function<void(const StartResult&)>& finished,
                                   const std::function<bool()>& keepGoing) {
  const std::vector<T20Vector> points = LatinHypercubeStarts(table, options.Count, options.Seed);
  const int count = table.Count;
  const auto values = [count](const T20Vector& v) {
    return std::vector<double>(v.begin() + 1, v.begin() + 1 + count);
  };
  // In the child: one local fit from start k.
  const auto work = [&](int k) {
    TParameterRecord own = table;
    own.Value = own.TrialValue = own.InitialValue = points[static_cast<std::size_t>(k - 1)];
    problem.Stats = {};
    const auto begun = std::chrono::steady_clock::now();
    const FitSummary summary = Fit(fit, problem, own, quiet);
    StartResult r;
    r.Start = k;
    r.StartValues = values(points[static_cast<std::size_t>(k - 1)]);
    r.Values = values(own.Value);
    const bool solved = problem.Solve(own.Value) == SolveResult::Solved;
    r.Objective = solved ? problem.Objective() : HUGE_VAL;
    if (!std::isfinite(r.Objective)) r.Objective = HUGE_VAL;
    r.Stop = SearchEndName(summary.Reason);
    r.Solutions = problem.Stats.Solutions;
    r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
    return EncodeStart(r);
  };
  std::vector<StartResult> results;
  const auto done = [&](int k, const ChildOutcome& outcome) {
    if (outcome.Result == ChildOutcome::Kind::Stopped) return;  // not run to its end: no result
    StartResult r;
    const bool read = outcome.Result == ChildOutcome::Kind::Done && DecodeStart(outcome.Text, r) &&
                      r.Start == k;
    if (!read) {
      r = {};
      r.Start = k;
      r.StartValues = values(points[static_cast<std::size_t>(k - 1)]);
      r.Objective = HUGE_VAL;
      r.Seconds = outcome.Seconds;
      r.Stop = outcome.Result == ChildOutcome::Kind::TimeLimit ? "time limit" : "crashed";
    }
    results.push_back(r);
    if (finished) finished(r);
  };
  std::vector<int> items = options.Only;
  if (items.empty())
    for (int k = 1; k <= options.Count; ++k) items.push_back(k);
  RunInChildren(items, options.Jobs, options.StartSeconds, work, done, keepGoing);
  SortStarts(results);
  return results;
}

}  // namespace zelk
