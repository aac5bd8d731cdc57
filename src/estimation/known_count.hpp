#pragma once

#include <cstdint>
#include <optional>

#include "estimation/numerics/wide_real.hpp"
#include "estimation/replication.hpp"
#include "problem/problem.hpp"

namespace monocount {

// The count of a formula that needs no sampling, decided here and nowhere else: without clauses
// every set of variables satisfies it (2^n), with an empty clause none does (0). None for every
// other formula, which the estimators sample.
std::optional<WideReal> knownCount(const Problem& problem);

// The replication of `sampleSize` >= 1 samples of a formula whose count is known: that count
// with relative error 0, and the cover lengths every sample would have had (length 0 without
// clauses, none with an empty clause), so that N(k) follows as for any crude replication.
Replication knownReplication(const Problem& problem, const WideReal& count, std::int32_t sampleSize);

// `problem` itself when the estimators can sample it (at least one clause, no empty clause);
// throws std::invalid_argument otherwise: those formulas are decided by knownCount.
const Problem& needsSampling(const Problem& problem);

}  // namespace monocount
