#include "tools/zelkcli/starts_json.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "base/csv_table.h"
#include "base/format.h"

namespace zelk {

using Json = nlohmann::ordered_json;

namespace {

Json Finite(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

}  // namespace

Json StartToJson(const StartResult& r) {
  return {{"start", r.Start},          {"start_values", r.StartValues},
          {"values", r.Values},        {"objective", Finite(r.Objective)},
          {"stop", r.Stop},            {"solutions", r.Solutions},
          {"seconds", r.Seconds}};
}

StartResult StartFromJson(const Json& j) {
  StartResult r;
  r.Start = j.at("start").get<int>();
  r.StartValues = j.at("start_values").get<std::vector<double>>();
  if (j.contains("values") && j.at("values").is_array()) r.Values = j.at("values").get<std::vector<double>>();
  r.Objective = j.at("objective").is_number() ? j.at("objective").get<double>() : HUGE_VAL;
  r.Stop = j.at("stop").get<std::string>();
  r.Solutions = j.value("solutions", std::int64_t{0});
  r.Seconds = j.value("seconds", 0.0);
  return r;
}

Json StartsJson(const std::vector<StartResult>& sorted, int total, long seed, const std::string& shard) {
  Json starts = Json::array();
  int failed = 0;
  for (const StartResult& r : sorted) {
    starts.push_back(StartToJson(r));
    failed += r.Failed();
  }
  Json out = {{"starts", starts},
              {"starts_total", total},
              {"starts_run", static_cast<int>(sorted.size())},
              {"starts_failed", failed},
              {"reached_best", CountReachingBest(sorted)},
              {"seed", seed},
              {"shard", shard}};
  if (!sorted.empty() && !sorted.front().Failed()) {
    out["best_objective"] = sorted.front().Objective;
    out["best_start"] = sorted.front().Start;
    out["best_values"] = sorted.front().Values;
  }
  return out;
}

std::string StartsText(const std::vector<StartResult>& sorted, int total) {
  int failed = 0;
  for (const StartResult& r : sorted) failed += r.Failed();
  std::ostringstream out;
  out << "Multi-start: " << sorted.size() << " of " << total << " starts, " << failed << " failed";
  if (!sorted.empty() && !sorted.front().Failed())
    out << "; best objective " << ExactText(sorted.front().Objective) << " (start "
        << sorted.front().Start << "), reached by " << CountReachingBest(sorted);
  return out.str();
}

int MergeShards(const std::vector<std::string>& files) {
  // Per data set, in the order first seen: the starts of every shard, the total and seed.
  std::vector<std::string> order;
  std::map<std::string, std::vector<StartResult>> starts;
  std::map<std::string, Json> first;
  for (const std::string& file : files) {
    std::ifstream in(file);
    if (!in) {
      std::cerr << "zelkcli: cannot read " << file << "\n";
      return 1;
    }
    int lines = 0;
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] != '{') continue;
      try {
        const Json j = Json::parse(line);
        if (!j.contains("starts")) continue;
        const std::string data = j.value("data", std::string());
        if (!first.count(data)) {
          order.push_back(data);
          first[data] = j;
        } else if (first[data].value("seed", 0L) != j.value("seed", 0L) ||
                   first[data].value("starts_total", 0) != j.value("starts_total", 0)) {
          std::cerr << "zelkcli: " << file << " holds shards of another run (seed or starts differ)\n";
          return 1;
        }
        for (const Json& s : j.at("starts")) starts[data].push_back(StartFromJson(s));
        ++lines;
      } catch (const std::exception& e) {
        std::cerr << "zelkcli: " << file << ": a line is no shard's result: " << e.what() << "\n";
        return 1;
      }
    }
    if (lines == 0) {
      std::cerr << "zelkcli: " << file << " holds no multi-start result\n";
      return 1;
    }
  }
  for (const std::string& data : order) {
    std::vector<StartResult>& all = starts[data];
    SortStarts(all);
    Json line = {{"data", data}};
    line.update(StartsJson(all, first[data].value("starts_total", 0), first[data].value("seed", 0L), "merged"));
    std::cout << line.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
  }
  return 0;
}

}  // namespace zelk
