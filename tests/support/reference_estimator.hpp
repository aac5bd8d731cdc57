#pragma once

// The plain, untuned reference estimator: the classic algorithm assembled from the classic
// statements the library keeps (shuffleOrder, uniformBelow, binomialTails, mean) and the
// literal cover query below, with no attention to speed. It is the oracle of the differential
// test (the product must print the same digits for the same seed) and the baseline of the speed
// benchmarks. It draws from the C runtime's own srand/rand, so it shares the process-wide
// generator state: one user at a time.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "problem/problem.hpp"

namespace monocount::support::reference {

// Whether this C runtime's rand() is the generator that RandomSource reproduces (glibc's
// additive feedback generator, RAND_MAX = 2^31 - 1). The comparisons with rand() hold only then.
bool runtimeRandIsReproduced();
// Why such a comparison is skipped elsewhere.
inline constexpr const char* kRuntimeRandNotReproduced =
    "this C runtime's rand() is not the generator RandomSource reproduces (glibc's)";

// A copy of a formula's clause lists with the classic cover query on them: the reference for
// every other cover query.
class PlainFormula {
 public:
  // Copies variableCount and clauseCount and lists every variable's clauses in file order, once
  // per naming; nothing is checked.
  explicit PlainFormula(const Problem& problem);

  // The classic query: takes its own copy of the order, clears `covered` and refills it with
  // clauseCount zeros, then walks the order and every list in full, comparing the touched
  // count with clauseCount (for equality) after each list element. Returns the first 0-based
  // position whose prefix touches every clause, 0 when none does.
  std::int32_t coverPosition(std::vector<std::int32_t> order);

  std::int32_t variableCount;
  std::int32_t clauseCount;
  std::vector<std::vector<std::int32_t>> occurrences;
  std::vector<std::int32_t> covered;
};

// The C runtime's generator as the classic statements draw from it: next() is rand(), up to
// RAND_MAX (seeded by srand, process-wide).
struct RuntimeRand {
  static constexpr std::uint32_t max() { return static_cast<std::uint32_t>(RAND_MAX); }
  std::uint32_t next() { return static_cast<std::uint32_t>(std::rand()); }
};

// One replication: builds the table and the identity order, then per sample shuffles the
// order in place (never resetting it) and appends T[cover position + 1]; returns the mean
// score and stores sigma / (sqrt(m) * mean) in `relativeError`.
double estimateModelCount(std::int32_t sampleSize, PlainFormula& formula, double& relativeError);

// One report row, the numbers as a default-formatted stream writes them.
struct ReportRow {
  double estimate;
  double relativeError;
  std::string text;  // "<replication> <estimate> <relative error>", without the CPU column
};

// Seeds the runtime generator once with srand(seed), then runs `replications` replications
// of `sampleSize` samples one after another on one copy of the formula.
std::vector<ReportRow> reportRows(const Problem& problem, std::uint32_t seed, std::int32_t sampleSize,
                                  std::int32_t replications);

// The row text for given numbers, formatted as reportRows formats them.
std::string rowText(std::int32_t replication, double estimate, double relativeError);

}  // namespace monocount::support::reference
