#include "estimation/estimator.hpp"

#include <utility>

namespace monocount {

Estimator::Methods Estimator::make(const Problem& problem, const EstimatorSettings& settings) {
  const Parallelism& parallelism = settings.parallelism;
  if (settings.method == Method::split) {
    return Methods(std::in_place_type<SplittingEstimator>, problem, settings.seed, SplittingSettings{}, parallelism);
  }
  const bool sharedByRanks = parallelism.ranks != nullptr && parallelism.ranks->size() > 1;
  if (settings.blockStreams || sharedByRanks) {
    return Methods(std::in_place_type<PermutationEstimator>, problem, settings.seed, parallelism);
  }
  return Methods(std::in_place_type<PermutationEstimator>, problem, settings.seed);
}

Estimator::Estimator(const Problem& problem, const EstimatorSettings& settings) : method_(make(problem, settings)) {
  if (auto* split = std::get_if<SplittingEstimator>(&method_)) split->recordSizes(settings.spectrum);
}

MemoryNeed Estimator::memoryNeeded(const Problem& problem, const EstimatorSettings& settings, std::int32_t sampleSize) {
  if (settings.method == Method::split) return SplittingEstimator::memoryNeeded(problem);
  return PermutationEstimator::memoryNeeded(problem, sampleSize);
}

Replication Estimator::estimateModelCount(std::int32_t sampleSize) {
  return std::visit([&](auto& estimator) { return estimator.estimateModelCount(sampleSize); }, method_);
}

void Estimator::onProgress(ProgressCallback callback) {
  std::visit([&](auto& estimator) { estimator.onProgress = std::move(callback); }, method_);
}

}  // namespace monocount

namespace monocount {

std::optional<SplittingPlan> Estimator::splittingPlan() const {
  if (const auto* split = std::get_if<SplittingEstimator>(&method_)) return split->currentPlan();
  return std::nullopt;
}

}  // namespace monocount
