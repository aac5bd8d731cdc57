#include "estimation/splitting/splitting_plan.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "estimation/parallel/block_runner.hpp"
#include "estimation/randomness/derived_streams.hpp"

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
  // Adds the lengths recorded in `other` (of the same variable count).
  void add(const LengthSample& other) {
    for (std::size_t k = 0; k < atLength.size(); ++k) atLength[k] += other.atLength[k];
    size += other.size;
    shortest = std::min(shortest, other.shortest);
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

namespace {

// A pilot walker: its chain and its own stream, on cache lines of its own (neighbouring walkers
// run on other threads).
struct alignas(64) Walker {
  CoverChain chain;
  SplitEngine engine;
  bool arrived = false;
};

// What a pilot worker changes: a spare chain to cut into, and the lengths it recorded.
struct PilotWorker {
  CoverChain spare;
  LengthSample sample;
};

}  // namespace

SplittingPlan planLevels(const OccurrenceTable& table, const std::vector<WideReal>& binomials,
                         const SplittingSettings& settings, std::uint32_t seed, std::int32_t threads) {
  const std::int32_t n = table.variableCount;
  SplittingPlan plan;
  plan.levels.push_back(n);
  const std::int32_t walkerCount = std::max(1, settings.pilotWalkers);
  const std::int32_t samplesPerWalker = std::max(1, settings.pilotSamples);

  std::vector<Walker> walkers;
  walkers.reserve(static_cast<std::size_t>(walkerCount));
  for (std::int32_t w = 0; w < walkerCount; ++w) {
    walkers.push_back({CoverChain(table),
                       derivedEngine({.seed = seed, .use = StreamUse::pilot, .replication = 0,
                                      .block = static_cast<std::uint64_t>(w)}),
                       false});
  }
  WorkerStates<PilotWorker> workers(threads);
  const auto pilotWorker = [&](std::int32_t w) -> PilotWorker& {
    return workers.get(w, [&] { return PilotWorker{CoverChain(table), {}}; });
  };
  // Every walker in parallel, each from its own stream; the recorded lengths of all workers
  // then add up exactly into `sample`.
  LengthSample sample;
  const auto everyWalker = [&](const auto& step) {
    runBlocks(0, walkerCount, threads, [&](std::int32_t w, std::int64_t walker) {
      step(pilotWorker(w), walkers[static_cast<std::size_t>(walker)]);
    });
  };
  const auto recordEveryWalker = [&](const auto& step) {
    workers.forEach([&](PilotWorker& worker) { worker.sample.clear(n); });
    everyWalker([&](PilotWorker& worker, Walker& walker) {
      if (worker.sample.atLength.empty()) worker.sample.clear(n);
      step(worker.sample, walker);
    });
    sample.clear(n);
    workers.forEach([&](const PilotWorker& worker) { sample.add(worker.sample); });
  };

  // Level n: fresh uniform orders.
  recordEveryWalker([&](LengthSample& recorded, Walker& walker) {
    for (std::int32_t i = 0; i < samplesPerWalker; ++i) recorded.record(walker.chain.coverLength(walker.engine));
  });

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
    everyWalker([&](PilotWorker& worker, Walker& walker) {
      walker.arrived = false;
      for (std::int64_t step = 0; step < patience; ++step) {
        walker.chain.exchange(proposals, walker.engine);
        if (walker.chain.coverLength(walker.engine) <= next) {
          worker.spare.adopt(walker.chain, next);
          std::swap(worker.spare, walker.chain);
          walker.arrived = true;
          break;
        }
      }
    });
    const auto firstArrived =
        std::find_if(walkers.begin(), walkers.end(), [](const Walker& walker) { return walker.arrived; });
    if (firstArrived == walkers.end()) {
      plan.levels.pop_back();
      plan.factors.pop_back();
      break;
    }
    for (Walker& walker : walkers) {
      if (!walker.arrived) walker.chain.adopt(firstArrived->chain, next);
    }

    const std::int64_t nextProposals = proposalBatch(next, n, settings.pilotProposalsPerPrefixVariable);
    recordEveryWalker([&](LengthSample& recorded, Walker& walker) {
      for (std::int32_t step = 0; step < settings.pilotBurnIn; ++step) {
        walker.chain.exchange(nextProposals, walker.engine);
        walker.chain.coverLength(walker.engine);
      }
      for (std::int32_t step = 0; step < samplesPerWalker; ++step) {
        walker.chain.exchange(nextProposals, walker.engine);
        recorded.record(walker.chain.coverLength(walker.engine));
      }
    });
  }
  return plan;
}

}  // namespace monocount
