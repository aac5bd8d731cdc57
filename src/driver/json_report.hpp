#pragma once

#include <iosfwd>
#include <nlohmann/json.hpp>

#include "driver/summary.hpp"

namespace monocount {

// The run as one JSON document on standard output, written when the run ends:
//   tool {name, version}; options {problem, N, R, seed (null when absent), method, format,
//   spectrum, probability [p...]} as given, and arguments [the command line]; seed {value,
//   source: "option" or "clock"}; problem {path, variables, clauses, literals}; method {name;
//   for split also particles and walkSteps per root, and smallestSize, the smallest satisfying
//   set its roots reached}; replications [{replication,
//   estimate, log10, relativeError, cpuSeconds, wallSeconds}]; pooled {replications, estimate,
//   log10, standardError, relativeError, confidenceInterval {level 0.95, low, high}, doubt,
//   meanReplicationRelativeError}; spectrum [{size, reached, count, log10, relativeError}] with
//   --spectrum; probabilities [{p, exact, probability, log10, standardError, relativeError,
//   confidenceInterval, doubt}] with --probability; warnings [sentences]. A doubt is null,
//   "likely far too low" or "may be too low" (see Doubt).
// A count is a number when a double holds it, beyond that a string in the table's notation
// ("3.50747e+451"), always beside a log10 number; whatever is unknown (a spread of one
// replication, a NaN, the log10 of 0, a size no sample reached) is null.
// One replication as a JSON object: {replication, estimate, log10, relativeError, cpuSeconds,
// wallSeconds, samples, truncated}; the relative error null where there is none (a NaN, or a
// replication of one sample).
nlohmann::ordered_json replicationJson(const ReplicationRow& row);

class JsonWriter : public RunWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}
  void start(const RunDescription& description) override;
  void row(const ReplicationRow& row) override;
  void finish(const RunSummary& summary) override;

 private:
  std::ostream& out_;
  nlohmann::ordered_json document_;
};

}  // namespace monocount
