#pragma once

#include <iosfwd>
#include <string>

#include "driver/summary.hpp"

namespace monocount {

// The lines model-counting benchmark harnesses read. Comment lines "c o ..." for the run
// (tool, problem, method and seed, one per replication as it ends, the pooled answer, the
// spectrum and probabilities when asked, the warnings), then for the pooled estimate
//   s SATISFIABLE            (s UNSATISFIABLE when it is 0; s UNKNOWN, and nothing more, when
//                             there is none: no replication or no sample)
//   c s type mc              (wmc, pmc or pwmc as the file says)
//   c s log10-estimate <log10 of the estimate, 10 decimals; -inf for 0>
//   c s approx arb int <the estimate rounded to an integer, in decimal digits>
//                            (c s exact arb int <every digit> for the exact method; nothing
//                             for a weighted count, which is no integer)
class MccWriter : public RunWriter {
 public:
  explicit MccWriter(std::ostream& out) : out_(out) {}
  void start(const RunDescription& description) override;
  void row(const ReplicationRow& row) override;
  void finish(const RunSummary& summary) override;

 private:
  std::ostream& out_;
  CountType type_ = CountType::mc;
};

// A finite non-negative value rounded to the nearest integer (halves up), in decimal digits,
// all of them, however large: the value is mantissa * 2^exponent, expanded exactly.
std::string decimalInteger(const WideReal& value);

}  // namespace monocount
