#include "estimation/splitting/splitting_plan.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace monocount {

std::int64_t proposalBatch(std::int32_t prefixLength, std::int32_t variableCount, double perPrefixVariable) {
  if (prefixLength >= variableCount) return 0;
  return std::max<std::int64_t>(1, std::llround(perPrefixVariable * static_cast<double>(prefixLength)));
}

namespace {

// The pilot's view of one level: how many recorded cover lengths equal each value.
struct LengthSample {
  std::vector<std::int64_t> atLength;  // indexed by cover length 0 .. n
  std::int64_t size = 0;
  std::int32_t shortest = 0;

  void clear(std::int32_t variableCount) {
    atLength.assign(static_cast<std::size_t>(variableCount) + 1, 0);
    size = 0;
    shortest = variableCount;
  }
  void record(std::int32_t length) {
    ++atLength[static_cast<std::size_t>(length)];
    ++size;
    shortest = std::min(shortest, length);
  }
  // The share of recorded lengths at or below every value, indexed like atLength.
  std::vector<double> shares() const {
    std::vector<double> result(atLength.size(), 0.0);
    std::int64_t below = 0;
    for (std::size_t k = 0; k < atLength.size(); ++k) {
      below += atLength[k];
      result[k] = static_cast<double>(below) / static_cast<double>(size);
    }
    return result;
  }
  // The sample mean of sum_{k = max(L, low) .. high} C(n, k) over the recorded lengths L
  // (zero for L > high).
  WideReal meanBand(const std::vector<WideReal>& binomials, std::int32_t low, std::int32_t high) const {
    WideReal total;
    WideReal band;
    for (std::int32_t k = high; k >= 1; --k) {
      if (k >= low) band += binomials[static_cast<std::size_t>(k)];
      const std::int64_t count = atLength[static_cast<std::size_t>(k)];
      if (count != 0) total += band * WideReal(static_cast<double>(count));
    }
    return total / WideReal(static_cast<double>(size));
  }
};

// The next level below `level`: the length whose share is nearest to the target by ratio
// among those with a positive share. Returns `level` when no sample lies below it.
std::int32_t chooseLevel(const std::vector<double>& shares, std::int32_t level, double target) {
  std::int32_t best = level;
  double bestDistance = 0.0;
  for (std::int32_t k = level - 1; k >= 1 && shares[static_cast<std::size_t>(k)] > 0.0; --k) {
    const double distance = std::fabs(std::log(shares[static_cast<std::size_t>(k)] / target));
    if (best == level || distance <= bestDistance) {  // on a tie the lower level: as likely, and further
      best = k;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace

SplittingPlan planLevels(const OccurrenceTable& table, const std::vector<WideReal>& binomials,
                         const SplittingSettings& settings, SplitEngine& engine) {
  const std::int32_t n = table.variableCount;
  SplittingPlan plan;
  plan.levels.push_back(n);
  const std::int32_t walkerCount = std::max(1, settings.pilotWalkers);
  const std::int32_t samplesPerWalker = std::max(1, settings.pilotSamples);

  CoverChain root(table);
  std::vector<CoverChain> walkers(static_cast<std::size_t>(walkerCount), root);
  CoverChain spare(table);
  LengthSample sample;

  // Level n: fresh uniform orders.
  sample.clear(n);
  for (std::int64_t i = 0; i < std::int64_t{walkerCount} * samplesPerWalker; ++i) sample.record(root.coverLength(engine));

  WideReal reach = 1.0;  // the pilot's estimate of the chance of being at the current level
  WideReal above;        // its estimate of the part of the count above the current level
  for (;;) {
    const std::int32_t level = plan.levels.back();
    const std::vector<double> shares = sample.shares();
    const std::int32_t next = chooseLevel(shares, level, settings.targetProbability);
    if (next == level) break;
    const WideReal band = reach * sample.meanBand(binomials, next + 1, level);
    const WideReal below = reach * sample.meanBand(binomials, 1, next);
    if (below < WideReal(settings.negligibleShare) * (above + band + below)) break;
    const double share = shares[static_cast<std::size_t>(next)];
    above += band;
    reach *= WideReal(share);
    plan.factors.push_back(1.0 / share);
    plan.levels.push_back(next);

    // Every walker runs on until it stands at or below the new level; one that takes far
    // longer than the share suggests takes over another walker's state instead.
    const std::int64_t patience = 20 + static_cast<std::int64_t>(std::ceil(50.0 / share));
    const std::int64_t proposals = proposalBatch(level, n, settings.pilotProposalsPerPrefixVariable);
    std::vector<bool> arrived(walkers.size(), false);
    for (std::size_t w = 0; w < walkers.size(); ++w) {
      CoverChain& source = level == n ? root : walkers[w];
      for (std::int64_t step = 0; step < patience; ++step) {
        source.exchange(proposals, engine);
        if (source.coverLength(engine) <= next) {
          spare.adopt(source, next);
          std::swap(spare, walkers[w]);
          arrived[w] = true;
          break;
        }
      }
    }
    const auto firstArrived = std::find(arrived.begin(), arrived.end(), true);
    if (firstArrived == arrived.end()) {
      plan.levels.pop_back();
      plan.factors.pop_back();
      break;
    }
    const CoverChain& stand = walkers[static_cast<std::size_t>(firstArrived - arrived.begin())];
    for (std::size_t w = 0; w < walkers.size(); ++w) {
      if (!arrived[w]) walkers[w].adopt(stand, next);
    }

    const std::int64_t nextProposals = proposalBatch(next, n, settings.pilotProposalsPerPrefixVariable);
    sample.clear(n);
    for (CoverChain& walker : walkers) {
      for (std::int32_t step = 0; step < settings.pilotBurnIn; ++step) {
        walker.exchange(nextProposals, engine);
        walker.coverLength(engine);
      }
      for (std::int32_t step = 0; step < samplesPerWalker; ++step) {
        walker.exchange(nextProposals, engine);
        sample.record(walker.coverLength(engine));
      }
    }
  }
  return plan;
}

}  // namespace monocount
