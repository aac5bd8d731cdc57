#include "estimation/splitting/splitting_estimator.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "estimation/numerics/wide_binomials.hpp"

namespace monocount {

namespace {

// Chain steps between two progress reports.
constexpr std::int64_t kProgressSteps = std::int64_t{1} << 16;

}  // namespace

SplittingEstimator::SplittingEstimator(const Problem& problem, std::uint32_t seed, SplittingSettings settings)
    : problem_(problem),
      settings_(settings),
      engine_(seed),
      degenerate_(problem.clauseCount == 0 || !problem.everyClauseTouchable()) {}

MemoryNeed SplittingEstimator::memoryNeeded(const Problem& problem, const SplittingSettings& settings) {
  if (problem.clauseCount == 0 || !problem.everyClauseTouchable()) return {};
  const auto n = static_cast<std::uint64_t>(problem.variableCount);
  const std::uint64_t m = static_cast<std::uint64_t>(problem.clauseCount);
  const std::uint64_t table = 4 * n + 8 * m + 4 * problem.literals.size();
  const std::uint64_t chains = static_cast<std::uint64_t>(std::max(settings.pilotWalkers, 1)) + 2;
  return {.tables = table + 16 * n + chains * (4 * n + 4 * m), .samples = 0};
}

void SplittingEstimator::ensurePlan() {
  if (plan_ || degenerate_) return;
  if (!table_) table_ = std::make_unique<OccurrenceTable>(problem_);
  if (binomials_.empty()) binomials_ = wideBinomialRow(problem_.variableCount);
  prepare(planLevels(*table_, binomials_, settings_, engine_));
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
  hits_.assign(bands_.size(), 0);
  touched_.clear();
  touched_.reserve(bands_.size());
  chains_.assign(std::max<std::size_t>(last, 1), CoverChain(*table_));
  memberCounts_.assign(last + 1, 0);
  plan_ = std::move(plan);
}

std::int32_t SplittingEstimator::drawSteps(const Stage& stage) {
  if (stage.extraStep == 0.0) return stage.wholeSteps;
  return stage.wholeSteps + (engine_.unit() < stage.extraStep ? 1 : 0);
}

const std::vector<std::int32_t>& SplittingEstimator::rootOrder() const {
  if (chains_.empty()) throw std::logic_error("SplittingEstimator::rootOrder: no root drawn yet");
  return chains_.front().order();
}

WideReal SplittingEstimator::scoreRoot() {
  ensurePlan();
  if (!plan_) throw std::logic_error("SplittingEstimator::scoreRoot: the count needs no sampling");
  const std::size_t last = stages_.size() - 1;
  // Depth first over the root's family: the current member's chain runs one step at a time,
  // and a state that reaches the next level is followed down at once, from a copy, before the
  // chain above it goes on.
  std::size_t t = 0;
  stages_[0].stepsLeft = drawSteps(stages_[0]);
  ++memberCounts_[0];
  for (;;) {
    Stage& stage = stages_[t];
    if (stage.stepsLeft == 0) {
      if (t == 0) break;
      --t;
      continue;
    }
    --stage.stepsLeft;
    CoverChain& chain = chains_[t];
    chain.exchange(stage.proposals, engine_);
    const std::int32_t length = chain.coverLength(engine_);
    ++chainSteps_;
    contribute(stage, length);
    if (t < last && length <= stages_[t + 1].level) {
      ++memberCounts_[t + 1];
      if (t + 1 == last) {
        contribute(stages_[last], length);
      } else {
        chains_[t + 1].adopt(chain, stages_[t + 1].level);
        ++t;
        stages_[t].stepsLeft = drawSteps(stages_[t]);
      }
    }
  }
  WideReal score;
  for (const std::size_t slot : touched_) {
    score += bands_[slot] * WideReal(static_cast<double>(hits_[slot]));
    if (recordSizes_) replicationHits_[slot] += static_cast<std::uint64_t>(hits_[slot]);
    hits_[slot] = 0;
  }
  touched_.clear();
  return score;
}

Replication SplittingEstimator::estimateModelCount(std::int32_t sampleSize) {
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
  ensurePlan();
  if (recordSizes_) replicationHits_.assign(bands_.size(), 0);
  // The mean is the plain sum over N; the squared deviations around it come from Welford's
  // running update, which equals sum (score - mean)^2 without keeping the N scores.
  WideReal sum;
  WideReal runningMean;
  WideReal squares;
  std::int64_t reported = chainSteps_;
  for (std::int32_t root = 0; root < sampleSize; ++root) {
    const WideReal score = scoreRoot();
    sum += score;
    const WideReal deviation = score - runningMean;
    runningMean += deviation / WideReal(static_cast<double>(root + 1));
    squares += deviation * (score - runningMean);
    if (onProgress && (chainSteps_ - reported >= kProgressSteps || root + 1 == sampleSize)) {
      reported = chainSteps_;
      onProgress(root + 1);
    }
  }
  // The classic statistics: population standard deviation, standard error relative to the mean.
  const WideReal count(static_cast<double>(sampleSize));
  const WideReal average = sum / count;
  Replication result;
  result.estimate = average;
  result.relativeError = (sqrt(squares / count) / (sqrt(count) * average)).toDouble();
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
