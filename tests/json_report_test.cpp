#include "driver/json_report.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

namespace monocount {
namespace {

using Json = nlohmann::json;

// A run of `rows` as the writer sees it, pooled as the driver pools it.
Json written(const std::vector<WideReal>& estimates, bool spectrum, const std::string& path = "f.cnf") {
  RunDescription description;
  description.options.problemPath = path;
  description.options.replications = static_cast<int>(estimates.size());
  description.seed = 77;  // from the clock
  description.variables = 2;
  Problem problem;
  problem.variableCount = 2;
  RunPool pool(problem, {spectrum, {VariableProbabilities::uniform(0.5)}});
  std::ostringstream out;
  JsonWriter writer(out);
  writer.start(description);
  for (std::size_t i = 0; i < estimates.size(); ++i) {
    Replication replication;
    replication.estimate = estimates[i];
    replication.coverLengths = {1, {1}, 1};  // the sample covered at its first variable
    pool.add(replication);
    writer.row({static_cast<std::int64_t>(i) + 1, estimates[i], 0.5, 0.25, 0.5});
  }
  RunSummary summary;
  summary.pooled = pool.result();
  summary.warnings = {"a warning"};
  writer.finish(summary);
  return Json::parse(out.str());
}

TEST(JsonWriter, CountsBeyondTheDoubleRangeAreStringsBesideTheirLog10) {
  const Json run = written({WideReal::powerOfTwo(1500), WideReal(3.0)}, false);
  const Json& first = run["replications"][0];
  EXPECT_EQ(first["estimate"], "3.50747e+451");
  EXPECT_NEAR(first["log10"].get<double>(), 1500 * std::log10(2.0), 1e-9);
  EXPECT_EQ(run["replications"][1]["estimate"], 3.0);
  EXPECT_EQ(run["replications"][1]["cpuSeconds"], 0.25);
  EXPECT_EQ(run["pooled"]["estimate"], "1.75373e+451");
  EXPECT_TRUE(run["pooled"]["standardError"].is_string());
  EXPECT_EQ(run["seed"], (Json{{"value", 77}, {"source", "clock"}}));
  EXPECT_TRUE(run["options"]["seed"].is_null());
  EXPECT_EQ(run["warnings"], Json::array({"a warning"}));
  EXPECT_FALSE(run.contains("spectrum"));
}

TEST(JsonWriter, WhatIsUnknownIsNull) {
  // One replication shows no spread; a path that is no UTF-8 is written with replacements.
  const Json run = written({WideReal(3.0)}, true, "f\xff.cnf");
  for (const char* field : {"standardError", "relativeError", "confidenceInterval"}) {
    EXPECT_TRUE(run["pooled"][field].is_null()) << field;
    EXPECT_TRUE(run["probabilities"][0][field].is_null()) << field;
    EXPECT_TRUE(run["probabilities"][0]["complement"][field].is_null()) << field;
  }
  EXPECT_EQ(run["problem"]["path"], "f\xef\xbf\xbd.cnf");
  // No sample reached size 0; every sample failed at it.
  EXPECT_EQ(run["spectrum"][0], (Json{{"size", 0}, {"reached", false}, {"count", nullptr}, {"log10", nullptr},
                                      {"relativeError", nullptr},
                                      {"failing", {{"reached", true}, {"count", 1.0}, {"log10", 0.0}, {"relativeError", nullptr}}}}));
  EXPECT_EQ(run["spectrum"][2]["count"], 1.0);
  const Json none = written({WideReal(std::nan(""))}, false);
  EXPECT_TRUE(none["replications"][0]["estimate"].is_null() && none["pooled"]["log10"].is_null());
}

}  // namespace
}  // namespace monocount
