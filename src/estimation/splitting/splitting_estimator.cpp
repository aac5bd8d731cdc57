#include "estimation/splitting/splitting_estimator.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

#include "estimation/numerics/wide_binomials.hpp"
#include "estimation/randomness/derived_streams.hpp"

namespace monocount {

SplittingEstimator::SplittingEstimator(const Problem& problem, std::uint32_t seed, SplittingSettings settings,
                                       const Parallelism& parallelism)
    : problem_(problem),
      settings_(settings),
      seed_(seed),
      engine_(seed),
      degenerate_(problem.clauseCount == 0 || !problem.everyClauseTouchable()),
      threads_(std::max(parallelism.threads, 1)),
      ranks_(parallelism.ranks != nullptr ? parallelism.ranks : &alone_),
      workers_(threads_) {}

MemoryNeed SplittingEstimator::memoryNeeded(const Problem& problem, const SplittingSettings& settings,
                                             std::int32_t threads) {
  if (problem.clauseCount == 0 || !problem.everyClauseTouchable()) return {};
  const auto n = static_cast<std::uint64_t>(problem.variableCount);
  const std::uint64_t m = static_cast<std::uint64_t>(problem.clauseCount);
  const std::uint64_t table = 4 * n + 8 * m + 4 * problem.literals.size();
  const auto workers = static_cast<std::uint64_t>(std::max(threads, 1));
  const std::uint64_t chains = static_cast<std::uint64_t>(std::max(settings.pilotWalkers, 1)) + 1 + 2 * workers;
  // Per worker besides: the pilot's recorded lengths (8 per variable).
  return {.tables = table + 16 * n + 8 * n * workers + chains * (4 * n + 4 * m), .samples = 0};
}

void SplittingEstimator::ensurePlan() {
  if (plan_ || degenerate_) return;
  if (!table_) table_ = std::make_unique<OccurrenceTable>(problem_);
  if (binomials_.empty()) binomials_ = wideBinomialRow(problem_.variableCount);
  prepare(planLevels(*table_, binomials_, settings_, seed_, threads_));
}

const SplittingPlan& SplittingEstimator::plan() {
  ensurePlan();
  if (!plan_) throw std::logic_error("SplittingEstimator: a formula without clauses or with an empty clause has no plan");
  return *plan_;
}

void SplittingEstimator::usePlan(SplittingPlan plan) {
  const std::int32_t n = problem_.variableCount;
  const auto invalid = [](const std::string& why) { throw std::invalid_argument("SplittingEstimator::usePlan: " + why); };
  if (degenerate_) invalid("a formula without clauses or with an empty clause has no plan");
  if (plan.levels.empty() || plan.levels.front() != n) invalid("the first level must be the variable count");
  if (plan.factors.size() + 1 != plan.levels.size()) invalid("one factor per level but the last");
  for (std::size_t t = 1; t < plan.levels.size(); ++t) {
    if (plan.levels[t] >= plan.levels[t - 1] || plan.levels[t] < 1) invalid("levels must decrease and stay >= 1");
  }
  for (const double factor : plan.factors) {
    if (!(factor >= 1.0) || !std::isfinite(factor)) invalid("factors must be finite and >= 1");
  }
  if (!table_) table_ = std::make_unique<OccurrenceTable>(problem_);
  if (binomials_.empty()) binomials_ = wideBinomialRow(n);
  prepare(std::move(plan));
}

std::int64_t SplittingEstimator::rootsPerBlock(const SplittingPlan& plan, std::int32_t variableCount) {
  double steps = 1.0;  // the last stage's one step
  for (const double factor : plan.factors) steps += factor;
  const double work = std::max(1.0, static_cast<double>(variableCount) * steps);
  return std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(65536.0 / work)));
}

void SplittingEstimator::prepare(SplittingPlan plan) {
  const std::size_t last = plan.levels.size() - 1;
  const std::int32_t n = problem_.variableCount;
  stages_.assign(last + 1, Stage{});
  bands_.clear();
  WideReal reach = 1.0;  // 1 / (s_0 ... s_(t-1))
  for (std::size_t t = 0; t <= last; ++t) {
    Stage& stage = stages_[t];
    stage.level = plan.levels[t];
    stage.proposals = proposalBatch(stage.level, n, settings_.proposalsPerPrefixVariable);
    const double factor = t < last ? plan.factors[t] : 1.0;
    stage.wholeSteps = static_cast<std::int32_t>(std::floor(factor));
    stage.extraStep = factor - std::floor(factor);
    const WideReal weight = t < last ? reach / WideReal(factor) : reach;
    reach = weight;
    stage.weight = weight;
    stage.bandLow = t < last ? plan.levels[t + 1] + 1 : 1;
    stage.bandOffset = bands_.size();
    bands_.resize(bands_.size() + static_cast<std::size_t>(stage.level - stage.bandLow + 1));
    WideReal sum;
    for (std::int32_t k = stage.level; k >= stage.bandLow; --k) {
      sum += binomials_[static_cast<std::size_t>(k)];
      bands_[stage.bandOffset + static_cast<std::size_t>(k - stage.bandLow)] = sum * weight;
    }
  }
  rootsPerBlock_ = rootsPerBlock(plan, n);
  start_ = std::make_unique<CoverChain>(*table_);
  workers_ = WorkerStates<Worker>(threads_);  // their chains follow the stages
  plan_ = std::move(plan);
}

SplittingEstimator::Worker SplittingEstimator::makeWorker() const {
  Worker worker;
  worker.chains.assign(std::max<std::size_t>(stages_.size() - 1, 1), CoverChain(*table_));
  worker.stepsLeft.assign(stages_.size(), 0);
  worker.hits.assign(bands_.size(), 0);
  worker.touched.reserve(bands_.size());
  worker.memberCounts.assign(stages_.size(), 0);
  worker.replicationHits.assign(bands_.size(), 0);
  return worker;
}

std::int32_t SplittingEstimator::drawSteps(const Stage& stage, SplitEngine& engine) const {
  if (stage.extraStep == 0.0) return stage.wholeSteps;
  return stage.wholeSteps + (engine.unit() < stage.extraStep ? 1 : 0);
}

const std::vector<std::int32_t>& SplittingEstimator::rootOrder() {
  if (!plan_) throw std::logic_error("SplittingEstimator::rootOrder: no root drawn yet");
  return worker(0).chains.front().order();
}

std::vector<std::int64_t> SplittingEstimator::memberCounts() {
  std::vector<std::int64_t> total(stages_.size(), 0);
  workers_.forEach([&](const Worker& worker) {
    for (std::size_t t = 0; t < total.size(); ++t) total[t] += worker.memberCounts[t];
  });
  return total;
}

WideReal SplittingEstimator::scoreRoot() {
  ensurePlan();
  if (!plan_) throw std::logic_error("SplittingEstimator::scoreRoot: the count needs no sampling");
  return scoreRoot(worker(0), engine_);
}

WideReal SplittingEstimator::scoreRoot(Worker& worker, SplitEngine& engine) const {
  const std::size_t last = stages_.size() - 1;
  // Depth first over the root's family: the current member's chain runs one step at a time,
  // and a state that reaches the next level is followed down at once, from a copy, before the
  // chain above it goes on.
  std::size_t t = 0;
  worker.stepsLeft[0] = drawSteps(stages_[0], engine);
  ++worker.memberCounts[0];
  for (;;) {
    const Stage& stage = stages_[t];
    if (worker.stepsLeft[t] == 0) {
      if (t == 0) break;
      --t;
      continue;
    }
    --worker.stepsLeft[t];
    CoverChain& chain = worker.chains[t];
    chain.exchange(stage.proposals, engine);
    const std::int32_t length = chain.coverLength(engine);
    contribute(worker, stage, length);
    if (t < last && length <= stages_[t + 1].level) {
      ++worker.memberCounts[t + 1];
      if (t + 1 == last) {
        contribute(worker, stages_[last], length);
      } else {
        worker.chains[t + 1].adopt(chain, stages_[t + 1].level);
        ++t;
        worker.stepsLeft[t] = drawSteps(stages_[t], engine);
      }
    }
  }
  WideReal score;
  for (const std::size_t slot : worker.touched) {
    score += bands_[slot] * WideReal(static_cast<double>(worker.hits[slot]));
    if (recordSizes_) worker.replicationHits[slot] += static_cast<std::uint64_t>(worker.hits[slot]);
    worker.hits[slot] = 0;
  }
  worker.touched.clear();
  return score;
}

Replication SplittingEstimator::estimateModelCount(std::int32_t sampleSize) {
  const std::uint32_t replication = replication_++;
  if (sampleSize <= 0) {
    Replication none;
    none.estimate = none.relativeError = std::numeric_limits<double>::quiet_NaN();
    return none;
  }
  if (degenerate_) {
    Replication exact;
    exact.estimate = problem_.clauseCount == 0 ? WideReal::powerOfTwo(problem_.variableCount) : WideReal(0.0);
    exact.coverLengths.samples = static_cast<std::uint64_t>(sampleSize);
    if (problem_.clauseCount == 0) exact.coverLengths.counts.assign(1, static_cast<std::uint64_t>(sampleSize));
    return exact;
  }
  runTogether(*ranks_, [&] { ensurePlan(); });

  static_assert(std::is_trivially_copyable_v<RootBlock>);
  const std::int64_t perBlock = rootsPerBlock_;
  const std::int64_t blocks = (sampleSize + perBlock - 1) / perBlock;
  const Share share = shareOf(blocks, ranks_->rank(), ranks_->size());
  std::vector<RootBlock> results;
  runTogether(*ranks_, [&] {
    results.resize(static_cast<std::size_t>(blocks));
    BlockProgress progress(onProgress, share.end - share.first, sampleSize);
    runBlocks(
        share.first, share.end, threads_,
        [&](std::int32_t w, std::int64_t block) {
          Worker& state = worker(w);
          SplitEngine engine = derivedEngine({.seed = seed_, .use = StreamUse::samples, .replication = replication,
                                              .block = static_cast<std::uint64_t>(block)});
          // Every block starts from the order 0 .. n - 1, so its roots depend on its stream alone.
          state.chains.front().adopt(*start_, problem_.variableCount);
          RootBlock result;  // stored once it is complete: neighbouring blocks share cache lines
          const std::int64_t end = std::min<std::int64_t>(sampleSize, (block + 1) * perBlock);
          for (std::int64_t root = block * perBlock; root < end; ++root) {
            // Welford's running update: the squared deviations around the block's mean.
            const WideReal score = scoreRoot(state, engine);
            ++result.roots;
            result.sum += score;
            const WideReal deviation = score - result.mean;
            result.mean += deviation / WideReal(static_cast<double>(result.roots));
            result.squares += deviation * (score - result.mean);
          }
          results[static_cast<std::size_t>(block)] = result;
        },
        std::ref(progress));
    progress.finish();
    // Hits are counts: the workers' sums are those of the blocks in block order.
    if (recordSizes_) {
      replicationHits_.assign(bands_.size(), 0);
      workers_.forEach([&](Worker& worker) {
        for (std::size_t slot = 0; slot < bands_.size(); ++slot) replicationHits_[slot] += worker.replicationHits[slot];
        std::fill(worker.replicationHits.begin(), worker.replicationHits.end(), 0);
      });
    }
  });
  ranks_->share(results.data(), sizeof(RootBlock), blocks);
  if (recordSizes_) ranks_->sum(replicationHits_);

  // The blocks in block order: sums added, squared deviations merged (Chan, Golub and LeVeque).
  RootBlock total;
  for (const RootBlock& block : results) {
    if (total.roots == 0) {
      total = block;
      continue;
    }
    const WideReal before(static_cast<double>(total.roots));
    const WideReal added(static_cast<double>(block.roots));
    const WideReal combined = before + added;
    const WideReal delta = block.mean - total.mean;
    total.roots += block.roots;
    total.sum += block.sum;
    total.mean += delta * added / combined;
    total.squares += block.squares + delta * delta * before * added / combined;
  }
  // The classic statistics: population standard deviation, standard error relative to the mean.
  const WideReal count(static_cast<double>(sampleSize));
  const WideReal average = total.sum / count;
  Replication result;
  result.estimate = average;
  result.relativeError = (sqrt(total.squares / count) / (sqrt(count) * average)).toDouble();
  if (recordSizes_) result.sizeEstimates = sizeEstimates(sampleSize);
  return result;
}

std::vector<WideReal> SplittingEstimator::sizeEstimates(std::int32_t roots) const {
  // An entry (stage t, lowest k j) stands for C(n, k) at every k = j .. level_t with the
  // stage's weight: per stage, the hits of the entries at or below k, times C(n, k) and the
  // weight, over the roots.
  std::vector<WideReal> sizes(static_cast<std::size_t>(problem_.variableCount) + 1);
  const WideReal count(static_cast<double>(roots));
  for (const Stage& stage : stages_) {
    const WideReal weight = stage.weight / count;
    std::uint64_t hits = 0;
    for (std::int32_t k = stage.bandLow; k <= stage.level; ++k) {
      hits += replicationHits_[stage.bandOffset + static_cast<std::size_t>(k - stage.bandLow)];
      if (hits == 0) continue;
      sizes[static_cast<std::size_t>(k)] += binomials_[static_cast<std::size_t>(k)] * weight * WideReal(static_cast<double>(hits));
    }
  }
  return sizes;
}

}  // namespace monocount
