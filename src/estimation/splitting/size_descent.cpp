#include "estimation/splitting/size_descent.hpp"

#include <algorithm>

namespace monocount {

SizeDescent::SizeDescent(const Problem& problem, const OccurrenceTable& table, const DescentSettings& settings)
    : variableCount_(table.variableCount),
      settings_(settings),
      particles_(static_cast<std::size_t>(std::max(settings.particles, 1)), CoverState(problem, table)),
      weights_(particles_.size()),
      offspring_(particles_.size()),
      vacant_() {
  vacant_.reserve(particles_.size());
}

WideReal SizeDescent::run(SplitEngine& engine, std::span<WideReal> sizes, const StepProgress* progress) {
  const std::int32_t n = variableCount_;
  const std::size_t count = particles_.size();
  const double particles = static_cast<double>(count);
  for (std::size_t i = 0; i < count; ++i) {
    particles_[i].fill();
    weights_[i] = 1.0;
  }
  const bool record = !sizes.empty();
  WideReal scale = 1.0;  // N^(k): the mean weight, once the weights are rescaled to mean 1
  WideReal total = 1.0;  // sum of N^(j) for j >= k
  if (record) sizes[static_cast<std::size_t>(n)] += scale;
  bool walking = settings_.walkSteps > 0;
  // Sizes between progress reports: a few dozen moves each, so that reports cost nothing.
  constexpr std::int32_t kReportEvery = 16;
  // Nearly all of a root's work is done while it walks: the share done is judged by the sizes
  // the root before walked down (half of them before the first root).
  const double toGo = std::max(1.0, walkedDown_ > 0 ? static_cast<double>(walkedDown_) : 0.5 * n);
  walkedDown_ = 0;
  smallest_ = n;
  for (std::int32_t k = n; k >= 1; --k) {
    if (progress != nullptr && (n - k) % kReportEvery == kReportEvery - 1) {
      (*progress)(std::min(0.99, static_cast<double>(n - k) / toGo));
    }
    // Reweight the particles of size k by rem(S) / (n - k + 1).
    const double down = 1.0 / static_cast<double>(n - k + 1);
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
      weights_[i] *= static_cast<double>(particles_[i].removableCount()) * down;
      sum += weights_[i];
    }
    if (sum == 0.0) break;  // every particle is a minimal satisfying set
    const double mean = sum / particles;
    double squares = 0.0;
    for (double& weight : weights_) {
      weight /= mean;
      squares += weight * weight;
    }
    scale *= WideReal(mean);
    total += scale;
    smallest_ = k - 1;
    if (record) sizes[static_cast<std::size_t>(k - 1)] += scale;
    // Effective particles (sum w)^2 / sum w^2 = P^2 / sum w^2, below P / 2.
    if (squares > 2.0 * particles) resample(engine);
    const bool walkHere = walking && k - 1 < n;
    for (std::size_t i = 0; i < count; ++i) {
      if (weights_[i] == 0.0) continue;
      CoverState& state = particles_[i];
      state.remove(state.removableAt(static_cast<std::int32_t>(engine.below(static_cast<std::uint32_t>(state.removableCount())))));
      if (!walkHere) continue;
      const auto outside = static_cast<std::uint32_t>(n - state.size());
      for (std::int32_t step = 0; step < settings_.walkSteps; ++step) {
        state.add(state.outsideAt(static_cast<std::int32_t>(engine.below(outside))));
        state.remove(state.removableAt(static_cast<std::int32_t>(engine.below(static_cast<std::uint32_t>(state.removableCount())))));
      }
    }
    if (walking && scale < total * WideReal(settings_.negligible)) walking = false;
    if (walking) walkedDown_ = n - k + 1;
  }
  return total;
}

void SizeDescent::resample(SplitEngine& engine) {
  // Systematic resampling: P evenly spaced points u, u + 1, ..., u + P - 1 over the weights
  // laid end to end (they sum to P); particle i gets as many copies as points fall on it.
  const std::size_t count = particles_.size();
  double point = engine.unit();
  double reach = 0.0;
  std::size_t taken = 0;
  std::size_t lastAlive = 0;
  for (std::size_t i = 0; i < count; ++i) {
    reach += weights_[i];
    if (weights_[i] > 0.0) lastAlive = i;
    std::int32_t copies = 0;
    while (taken < count && point < reach) {
      ++copies;
      ++taken;
      point += 1.0;
    }
    offspring_[i] = copies;
  }
  // The weights sum to P up to rounding: a point beyond their end goes to the last live particle.
  if (taken < count) offspring_[lastAlive] += static_cast<std::int32_t>(count - taken);
  // A particle with copies keeps one in place; the others go to the places of those with none.
  vacant_.clear();
  for (std::size_t i = 0; i < count; ++i) {
    if (offspring_[i] == 0) vacant_.push_back(static_cast<std::int32_t>(i));
  }
  std::size_t next = 0;
  for (std::size_t i = 0; i < count; ++i) {
    for (std::int32_t copy = 1; copy < offspring_[i]; ++copy) {
      particles_[static_cast<std::size_t>(vacant_[next++])] = particles_[i];
    }
  }
  std::fill(weights_.begin(), weights_.end(), 1.0);
}

}  // namespace monocount
