#pragma once

#include <iosfwd>

#include "driver/summary.hpp"

namespace monocount {

// The replications as comma-separated values, one line each as it ends, after the header
// "replication,estimate,log10,RE,CPU,wall,samples,truncated" (truncated: "true" for the
// replication the time limit cut short, which the pooled answer leaves out). Then an empty line
// and the pooled answer, "answer,estimate,log10,RE" with the lines "count" and "complement" (the
// sets that do not satisfy the formula, estimated on their own). With --spectrum, an empty line
// and "size,count,log10,RE,failing,failingLog10,failingRE" (k = 0 .. n: N(k) and F(k) = C(n, k)
// - N(k), each estimated on its own); with --probability, an empty line and
// "p,probability,log10,RE,failure,failureLog10,failureRE"; when the run ended before its R
// replications, an
// empty line and "end,signal" with the reason ("time limit", "target reached", "interrupted")
// and the signal, if any. Numbers in their shortest round-trip form, counts beyond a double in
// the table's notation (their log10 beside them); an unknown field (a NaN, the log10 of 0, the
// RE of a single sample or one that needs two replications, a size no sample reached) is empty.
class CsvWriter : public RunWriter {
 public:
  explicit CsvWriter(std::ostream& out) : out_(out) {}
  void start(const RunDescription& description) override;
  void row(const ReplicationRow& row) override;
  void finish(const RunSummary& summary) override;

 private:
  std::ostream& out_;
};

}  // namespace monocount
