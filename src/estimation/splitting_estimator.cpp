#include "estimation/splitting_estimator.hpp"

#include <stdexcept>

namespace monocount {

SplittingEstimator::SplittingEstimator(const Problem& problem, std::uint32_t seed) : problem_(problem), seed_(seed) {}

WideReal SplittingEstimator::estimateModelCount(std::int32_t, double&) {
  throw std::logic_error("the splitting estimator is not built yet");
}

}  // namespace monocount
