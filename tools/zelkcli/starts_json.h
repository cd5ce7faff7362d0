#pragma once
// The results of a multi-start run as JSON: one start each, the run's summary, and the
// merge of shards into the result of one run.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "estimation/multi_start.h"

namespace zelk {

nlohmann::ordered_json StartToJson(const StartResult& r);
// Throws nlohmann::json's exceptions on a line that is no start.
StartResult StartFromJson(const nlohmann::ordered_json& j);

// "starts" (sorted by objective), "starts_total", "starts_run", "starts_failed",
// "reached_best", "best_objective", "best_start", "best_values", "seed" and "shard".
nlohmann::ordered_json StartsJson(const std::vector<StartResult>& sorted, int total, long seed, const std::string& shard);
// "Multi-start: 50 of 50 starts, 2 failed; best objective 138.2 (start 7), reached by 31"
std::string StartsText(const std::vector<StartResult>& sorted, int total);

// zelkcli merge A.json B.json ...: the shards' lines of each data set joined into one line
// with the summary of one run over all their starts.
int MergeShards(const std::vector<std::string>& files);

}  // namespace zelk
