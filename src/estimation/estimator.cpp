#include "estimation/estimator.hpp"

#include <algorithm>
#include <iomanip>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "estimation/known_count.hpp"
#include "estimation/numerics/wide_binomials.hpp"
#include "estimation/pooled/probability.hpp"
#include "estimation/pooled/size_counts.hpp"

namespace monocount {

namespace {

// crude on block streams: asked for, or forced by several ranks.
bool crudeOnBlocks(const EstimatorSettings& settings) {
  const RankGroup* ranks = settings.parallelism.ranks;
  return settings.blockStreams || (ranks != nullptr && ranks->size() > 1);
}

// split's particles and walk steps as given, the rest from `chosen`.
DescentSettings givenOr(DescentSettings chosen, const EstimatorSettings& settings) {
  if (settings.particles > 0) chosen.particles = settings.particles;
  if (settings.walkSteps >= 0) chosen.walkSteps = settings.walkSteps;
  return chosen;
}

// The satisfying roots': chosen from the formula's size.
DescentSettings descentSettings(const Problem& problem, const EstimatorSettings& settings) {
  return givenOr(DescentSettings::forVariables(problem.variableCount), settings);
}

// The laws each replication answers: the weighted formula's own, or those of --probability.
std::vector<VariableProbabilities> lawsAnswered(const EstimatorSettings& settings) {
  if (settings.weights) return {settings.weights->law};
  return settings.laws;
}

// What split's roots estimate besides the count: a weighted file's law on both sides (a law of
// one chance as the counts N(k) and F(k), which serve it, watching that chance); the chances of
// --probability on both sides, watched. A plain count, with or without --spectrum, runs the
// satisfying roots alone (F(k) is then C(n, k) - N(k), and the complement 2^n minus the count).
SplitTargets splitTargets(const EstimatorSettings& settings) {
  SplitTargets targets;
  targets.failingSettings = givenOr(DescentSettings{}, settings);
  if (settings.weights) {
    targets.failing = true;
    if (settings.weights->law.isUniform()) {
      targets.probabilities.push_back(settings.weights->law.uniformTruth());
    } else {
      targets.law = settings.weights->law;
    }
    return targets;
  }
  for (const VariableProbabilities& law : settings.laws) targets.probabilities.push_back(law.uniformTruth());
  targets.failing = !settings.laws.empty();
  return targets;
}

// Whether split answers a law of its own per variable rather than from its counts.
bool splitPerVariable(const EstimatorSettings& settings) { return settings.weights && !settings.weights->law.isUniform(); }

// The exact counter's settings for a run.
ExactSettings exactSettings(const EstimatorSettings& settings) {
  ExactSettings exact;
  exact.maxWidth = settings.maxWidth;
  exact.memoryLimit = settings.memoryLimit;
  exact.threads = std::max(settings.parallelism.threads, 1);
  exact.spectrum = settings.spectrum ? SpectrumMode::cheaper : SpectrumMode::none;
  exact.laws = lawsAnswered(settings);
  return exact;
}

}  // namespace

const MethodEntry& methodEntry(Method method) {
  return *std::find_if(kMethods.begin(), kMethods.end(), [&](const MethodEntry& entry) { return entry.method == method; });
}

std::optional<Method> methodNamed(std::string_view name) {
  for (const MethodEntry& entry : kMethods) {
    if (name == entry.name) return entry.method;
  }
  return std::nullopt;
}

Estimator::Methods Estimator::make(const Problem& problem, const EstimatorSettings& settings) {
  const std::vector<VariableProbabilities> laws = lawsAnswered(settings);
  if (const std::optional<WideReal> count = knownCount(problem)) return Known{&problem, *count, laws.size(), {}};
  const Parallelism& parallelism = settings.parallelism;
  switch (settings.method) {
    case Method::split:
      return Methods(std::in_place_type<SplittingEstimator>, problem, settings.seed, descentSettings(problem, settings),
                     parallelism);
    case Method::exact:
    case Method::automatic:
      if (settings.exactPlan == nullptr) throw std::logic_error("the exact method runs on a plan made by Estimator::choose");
      return Methods(std::in_place_type<ExactEstimator>, problem, settings.exactPlan, exactSettings(settings));
    case Method::crude:
      // A weighted formula: orders drawn by the evolution process of its own law, whatever its shape.
      if (settings.weights) {
        return Methods(std::in_place_type<EvolutionEstimator>, problem, settings.weights->law, settings.seed, parallelism);
      }
      if (crudeOnBlocks(settings)) {
        return Methods(std::in_place_type<BlockStreamEstimator>, problem, settings.seed, parallelism, laws);
      }
      return Methods(std::in_place_type<ClassicSequenceEstimator>, problem, settings.seed, laws, parallelism.stop);
  }
  return Known{&problem, WideReal(0.0), laws.size(), {}};  // unreachable: every method is handled above
}

MethodChoice Estimator::choose(const Problem& problem, const EstimatorSettings& settings) {
  MethodChoice choice{.method = settings.method, .plan = nullptr, .reason = {}, .refusal = {}};
  if (settings.method != Method::exact && settings.method != Method::automatic) return choice;
  const auto plan = std::make_shared<const ExactPlan>(planExact(problem, exactSettings(settings)));
  std::ostringstream found;
  found << "width " << plan->width << " (" << heuristicName(plan->heuristic) << "), tables about "
        << byteText(static_cast<double>(plan->bytes + plan->treeBytes)) << ", about " << std::setprecision(2)
        << plan->seconds << " CPU s";
  if (settings.method == Method::exact) {
    choice.plan = plan;
    if (plan->refusal.empty()) {
      choice.reason = "exact: " + found.str();
    } else {
      choice.refusal = plan->refusal;
    }
    return choice;
  }
  if (plan->refusal.empty() && plan->seconds <= settings.exactSecondsLimit) {
    choice.method = Method::exact;
    choice.plan = plan;
    choice.reason = "auto: exact, " + found.str();
  } else {
    choice.method = Method::split;
    std::ostringstream why;
    why << "auto: split, as the exact counter ";
    if (!plan->refusal.empty()) {
      why << "refuses: " << plan->refusal;
    } else {
      why << "would need " << found.str() << " (more than " << settings.exactSecondsLimit << ")";
    }
    choice.reason = why.str();
  }
  return choice;
}

Estimator::Estimator(const Problem& problem, const EstimatorSettings& settings)
    : method_(settings.method),
      variableCount_(problem.variableCount),
      weights_(settings.weights),
      estimator_(make(problem, settings)) {
  // split answers a law of one chance from its N(k) and F(k), so it records them for such a
  // weighted formula too; a law with a chance per variable it answers as a quantity of its own.
  if (auto* split = std::get_if<SplittingEstimator>(&estimator_)) {
    split->recordSizes(settings.spectrum || (weights_ && !splitPerVariable(settings)));
    split->target(splitTargets(settings));
  }
}

MemoryNeed Estimator::memoryNeeded(const Problem& problem, const EstimatorSettings& settings, std::int32_t sampleSize) {
  if (knownCount(problem)) return {};
  const std::int32_t threads = std::max(settings.parallelism.threads, 1);
  switch (settings.method) {
    case Method::split:
      return SplittingEstimator::memoryNeeded(problem, descentSettings(problem, settings), threads, splitTargets(settings));
    case Method::exact:
    case Method::automatic:
      if (settings.exactPlan == nullptr) return {};
      return {.tables = settings.exactPlan->bytes + settings.exactPlan->treeBytes, .samples = 0};
    case Method::crude:
      if (settings.weights) return EvolutionEstimator::memoryNeeded(problem, sampleSize, threads);
      if (crudeOnBlocks(settings)) return BlockStreamEstimator::memoryNeeded(problem, sampleSize, threads);
      return ClassicSequenceEstimator::memoryNeeded(problem, sampleSize);
  }
  return {};
}

Replication Estimator::Known::estimateModelCount(std::int32_t sampleSize) const {
  Replication known = knownReplication(*problem, count, sampleSize);
  known.samples = static_cast<std::uint64_t>(sampleSize);
  // Every law gives the same certain answer: no clauses hold always, an empty clause never.
  const bool holds = !count.isZero();
  known.complement = holds ? WideReal(0.0) : WideReal::powerOfTwo(problem->variableCount);
  known.complementRelativeError = 0.0;
  known.laws.assign(laws, LawAnswer{holds ? 1.0 : 0.0, holds ? 0.0 : 1.0, 0.0, 0.0});
  return known;
}

Replication Estimator::estimateModelCount(std::int32_t sampleSize) {
  if (sampleSize <= 0) return Replication::none();
  Replication replication =
      std::visit([&](auto& estimator) { return estimator.estimateModelCount(sampleSize); }, estimator_);
  return weights_ ? weighted(std::move(replication)) : replication;
}

Replication Estimator::weighted(Replication replication) const {
  if (replication.stopped == StopReason::interrupted || replication.samples == 0) return replication;
  LawAnswer answer;
  if (!replication.laws.empty()) {
    answer = replication.laws.front();
  } else {
    // Weighed from N(k) and F(k), each side's own (split under a law of one chance): no error
    // of its own.
    const std::vector<WideReal> binomials = wideBinomialRow(variableCount_);
    const std::vector<WideReal> sizes = sizeEstimates(replication, binomials);
    answer = lawAnswersFromSizes(sizes, failingSizeEstimates(replication, sizes, binomials), {weights_->law}).front();
  }
  replication.estimate = weights_->factor * answer.holds;
  replication.relativeError = answer.holdsRelativeError;
  replication.complement = weights_->factor * answer.fails;
  replication.complementRelativeError = answer.failsRelativeError;
  replication.laws.clear();
  replication.sizeEstimates.clear();
  replication.failingSizeEstimates.clear();
  return replication;
}

void Estimator::onProgress(ProgressCallback callback) {
  std::visit([&](auto& estimator) { estimator.onProgress = std::move(callback); }, estimator_);
}

std::optional<SplitDescription> Estimator::splitDescription() const {
  if (method_ != Method::split) return std::nullopt;
  if (const auto* split = std::get_if<SplittingEstimator>(&estimator_)) {
    return SplitDescription{split->settings(), split->smallestSize()};
  }
  return SplitDescription{DescentSettings{}, variableCount_};
}

}  // namespace monocount
