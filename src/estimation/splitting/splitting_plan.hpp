#pragma once

#include <cstdint>
#include <vector>

#include "estimation/splitting/cover_chain.hpp"
#include "estimation/numerics/wide_real.hpp"

namespace monocount {

// The tuning of the splitting estimator: the pilot that places the levels and the chain that
// moves between them.
struct SplittingSettings {
  std::int32_t pilotWalkers = 50;          // independent chains of the pilot
  std::int32_t pilotSamples = 20;          // cover lengths each walker records per level
  std::int32_t pilotBurnIn = 3;            // chain steps per walker before it records, per level
  double targetProbability = 0.2;          // aimed-at chance of reaching the next level
  double negligibleShare = 1e-4;           // no level whose part of the count stays below this share
  double proposalsPerPrefixVariable = 0.02;  // exchange proposals per chain step, per prefix variable
  double pilotProposalsPerPrefixVariable = 0.25;  // the same in the pilot, whose samples must mix
};

// Levels n = levels[0] > levels[1] > ... > levels[T] >= 1 on the cover length, and the
// splitting factor factors[t] >= 1 (one per level but the last) by which the expected number
// of chain states grows when the members at level t run their chains.
struct SplittingPlan {
  std::vector<std::int32_t> levels;
  std::vector<double> factors;
};

// Exchange proposals of one chain step at prefix length `prefixLength`: none for the whole
// order (it has no suffix), else round(perPrefixVariable * prefixLength), at least 1.
std::int64_t proposalBatch(std::int32_t prefixLength, std::int32_t variableCount, double perPrefixVariable);

// The pilot, an adaptive multilevel run: walkers sample the cover length at the current level
// (fresh uniform orders at level n, chain steps below); the next level is the cover length
// whose observed share of samples at or below it is nearest to targetProbability (by ratio),
// that share p becomes the factor 1/p, and every walker runs on until it is at or below the
// new level. Levels stop when no sample lies below the current level (the minimum cover length,
// as far as the pilot can see), or when the pilot's estimate of the part of the count at or
// below the candidate level is under negligibleShare of its estimate of the whole.
//
// Walker w draws from its own stream, derivedEngine({seed, pilot, 0, w}), and the walkers run
// on `threads` workers; what they record adds up exactly, so the plan depends on the seed and
// the settings alone, not on the number of threads.
//
// `binomials` holds C(n, k) for k = 0 .. n. Costs about walkers * (burnIn + samples + 1/p)
// chain steps per level; memory for one order and one set of clause counts per walker and per
// thread. Requires a formula with at least one clause and no empty clause.
SplittingPlan planLevels(const OccurrenceTable& table, const std::vector<WideReal>& binomials,
                         const SplittingSettings& settings, std::uint32_t seed, std::int32_t threads = 1);

}  // namespace monocount
