#include "estimation/estimator.hpp"

#include <algorithm>
#include <utility>

#include "estimation/known_count.hpp"

namespace monocount {

namespace {

// crude on block streams: asked for, or forced by several ranks.
bool crudeOnBlocks(const EstimatorSettings& settings) {
  const RankGroup* ranks = settings.parallelism.ranks;
  return settings.blockStreams || (ranks != nullptr && ranks->size() > 1);
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
  if (const std::optional<WideReal> count = knownCount(problem)) return Known{&problem, *count, settings.laws.size(), {}};
  const Parallelism& parallelism = settings.parallelism;
  switch (settings.method) {
    case Method::split:
      return Methods(std::in_place_type<SplittingEstimator>, problem, settings.seed, DescentSettings{}, parallelism);
    case Method::crude:
      if (crudeOnBlocks(settings)) {
        return Methods(std::in_place_type<BlockStreamEstimator>, problem, settings.seed, parallelism, settings.laws);
      }
      return Methods(std::in_place_type<ClassicSequenceEstimator>, problem, settings.seed, settings.laws, parallelism.stop);
  }
  return Known{&problem, WideReal(0.0), settings.laws.size(), {}};  // unreachable: every method is handled above
}

Estimator::Estimator(const Problem& problem, const EstimatorSettings& settings)
    : method_(settings.method), variableCount_(problem.variableCount), estimator_(make(problem, settings)) {
  if (auto* split = std::get_if<SplittingEstimator>(&estimator_)) split->recordSizes(settings.spectrum);
}

MemoryNeed Estimator::memoryNeeded(const Problem& problem, const EstimatorSettings& settings, std::int32_t sampleSize) {
  if (knownCount(problem)) return {};
  const std::int32_t threads = std::max(settings.parallelism.threads, 1);
  switch (settings.method) {
    case Method::split: return SplittingEstimator::memoryNeeded(problem, DescentSettings{}, threads);
    case Method::crude:
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
  return std::visit([&](auto& estimator) { return estimator.estimateModelCount(sampleSize); }, estimator_);
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
