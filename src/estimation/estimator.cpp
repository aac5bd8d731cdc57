#include "estimation/estimator.hpp"

#include <utility>

namespace monocount {

Estimator::Methods Estimator::make(const Problem& problem, Method method, std::uint32_t seed) {
  if (method == Method::split) return Methods(std::in_place_type<SplittingEstimator>, problem, seed);
  return Methods(std::in_place_type<PermutationEstimator>, problem, seed);
}

Estimator::Estimator(const Problem& problem, Method method, std::uint32_t seed)
    : method_(make(problem, method, seed)) {}

Replication Estimator::estimateModelCount(std::int32_t sampleSize) {
  return std::visit([&](auto& estimator) { return estimator.estimateModelCount(sampleSize); }, method_);
}

void Estimator::onProgress(ProgressCallback callback) {
  std::visit([&](auto& estimator) { estimator.onProgress = std::move(callback); }, method_);
}

}  // namespace monocount
