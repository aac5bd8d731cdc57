#include "estimation/estimator.hpp"

#include <algorithm>
#include <utility>

namespace monocount {

namespace {

// crude on block streams: asked for, or forced by several ranks.
bool crudeOnBlocks(const EstimatorSettings& settings) {
  const RankGroup* ranks = settings.parallelism.ranks;
  return settings.blockStreams || (ranks != nullptr && ranks->size() > 1);
}

}  // namespace

Estimator::Methods Estimator::make(const Problem& problem, const EstimatorSettings& settings) {
  const Parallelism& parallelism = settings.parallelism;
  if (settings.method == Method::split) {
    return Methods(std::in_place_type<SplittingEstimator>, problem, settings.seed, DescentSettings{}, parallelism);
  }
  if (crudeOnBlocks(settings)) {
    return Methods(std::in_place_type<PermutationEstimator>, problem, settings.seed, parallelism);
  }
  return Methods(std::in_place_type<PermutationEstimator>, problem, settings.seed);
}

Estimator::Estimator(const Problem& problem, const EstimatorSettings& settings) : method_(make(problem, settings)) {
  if (auto* split = std::get_if<SplittingEstimator>(&method_)) split->recordSizes(settings.spectrum);
}

MemoryNeed Estimator::memoryNeeded(const Problem& problem, const EstimatorSettings& settings, std::int32_t sampleSize) {
  const std::int32_t threads = std::max(settings.parallelism.threads, 1);
  if (settings.method == Method::split) return SplittingEstimator::memoryNeeded(problem, DescentSettings{}, threads);
  return PermutationEstimator::memoryNeeded(problem, sampleSize, crudeOnBlocks(settings) ? threads : 0);
}

Replication Estimator::estimateModelCount(std::int32_t sampleSize) {
  return std::visit([&](auto& estimator) { return estimator.estimateModelCount(sampleSize); }, method_);
}

void Estimator::onProgress(ProgressCallback callback) {
  std::visit([&](auto& estimator) { estimator.onProgress = std::move(callback); }, method_);
}

}  // namespace monocount

namespace monocount {

std::optional<SplitDescription> Estimator::splitDescription() const {
  if (const auto* split = std::get_if<SplittingEstimator>(&method_)) {
    return SplitDescription{split->settings(), split->smallestSize()};
  }
  return std::nullopt;
}

}  // namespace monocount
