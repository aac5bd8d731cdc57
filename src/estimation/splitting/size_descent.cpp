#include "estimation/splitting/size_descent.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace monocount {

SizeDescent::SizeDescent(const Problem& problem, const OccurrenceTable& table, const DescentSettings& settings,
                         DescentTarget target)
    : variableCount_(table.variableCount), settings_(settings), target_(std::move(target)) {
  const auto count = static_cast<std::size_t>(std::max(settings.particles, 1));
  if (!target_.odds.empty() && target_.odds.size() != static_cast<std::size_t>(variableCount_)) {
    throw std::invalid_argument("SizeDescent: one odds per variable");
  }
  if (target_.side == DescentSide::satisfying) {
    covers_.assign(count, CoverState(problem, table));
  } else {
    containments_.assign(count, ClauseContainment(problem, table));
  }
  weights_.resize(count);
  offspring_.resize(count);
  vacant_.reserve(count);
  if (!target_.odds.empty()) {
    outsideOdds_.resize(count);
    moves_.resize(count);
  }
  for (const double odds : target_.odds) whole_ *= WideReal(odds);
  for (const double rho : target_.watched) watchStep_.push_back(WideReal(1.0) / WideReal(rho));
  watchFactor_.resize(watchStep_.size());
  watchTotal_.resize(watchStep_.size());
}

WideReal SizeDescent::run(SplitEngine& engine, std::span<WideReal> sizes, const StepProgress* progress) {
  const bool weighted = !target_.odds.empty();
  if (target_.side == DescentSide::satisfying) {
    return weighted ? descend<CoverState, true>(covers_, engine, sizes, progress)
                    : descend<CoverState, false>(covers_, engine, sizes, progress);
  }
  return weighted ? descend<ClauseContainment, true>(containments_, engine, sizes, progress)
                  : descend<ClauseContainment, false>(containments_, engine, sizes, progress);
}

bool SizeDescent::negligibleHere(const WideReal& scale, const WideReal& total) {
  const WideReal share(settings_.negligible);
  bool small = scale < total * share;
  for (std::size_t q = 0; q < watchStep_.size(); ++q) {
    watchFactor_[q] *= watchStep_[q];
    const WideReal term = scale * watchFactor_[q];
    watchTotal_[q] += term;
    small = small && term < watchTotal_[q] * share;
  }
  return small;
}

template <class State, bool Weighted>
WideReal SizeDescent::descend(std::vector<State>& particles, SplitEngine& engine, std::span<WideReal> sizes,
                              const StepProgress* progress) {
  const std::int32_t n = variableCount_;
  const std::size_t count = particles.size();
  const double particleCount = static_cast<double>(count);
  const double* odds = target_.odds.data();
  for (std::size_t i = 0; i < count; ++i) {
    particles[i].fill();
    weights_[i] = 1.0;
    if constexpr (Weighted) {
      outsideOdds_[i] = 0.0L;
      moves_[i] = 0;
    }
  }
  std::fill(watchFactor_.begin(), watchFactor_.end(), WideReal(1.0));
  std::fill(watchTotal_.begin(), watchTotal_.end(), whole_);
  const bool record = !sizes.empty();
  // Where the estimate of the side's size j goes: sizes[j], or sizes[n - j] for the failing side.
  const bool mirrored = target_.side == DescentSide::failing;
  const auto slot = [&](std::int32_t j) { return static_cast<std::size_t>(mirrored ? n - j : j); };
  // The estimate of the current size: the mean weight, once the weights are rescaled to mean 1,
  // times W of the whole set.
  WideReal scale = whole_;
  WideReal total = whole_;  // its sum over the sizes so far
  if (record) sizes[slot(n)] += scale;
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
    double sum = 0.0;
    if constexpr (Weighted) {
      // Each particle of size k loses a uniform removable member x and is weighted by
      // rem(S) / R(S - x).
      for (std::size_t i = 0; i < count; ++i) {
        if (weights_[i] == 0.0) continue;
        State& state = particles[i];
        const std::int32_t removable = state.removableCount();
        if (removable == 0) {
          weights_[i] = 0.0;
          continue;
        }
        const std::int32_t x = state.drawRemovable(engine);
        const long double outside = outsideOdds_[i] + static_cast<long double>(odds[x]);
        weights_[i] *= static_cast<double>(removable) / static_cast<double>(outside);
        state.remove(x);
        outsideOdds_[i] = outside;
        ++moves_[i];
        sum += weights_[i];
      }
    } else {
      // Reweight the particles of size k by rem(S) / (n - k + 1).
      const double down = 1.0 / static_cast<double>(n - k + 1);
      for (std::size_t i = 0; i < count; ++i) {
        weights_[i] *= static_cast<double>(particles[i].removableCount()) * down;
        sum += weights_[i];
      }
    }
    if (sum == 0.0) break;  // every particle is a minimal set
    const double mean = sum / particleCount;
    double squares = 0.0;
    for (double& weight : weights_) {
      weight /= mean;
      squares += weight * weight;
    }
    scale *= WideReal(mean);
    total += scale;
    smallest_ = k - 1;
    if (record) sizes[slot(k - 1)] += scale;
    // Effective particles (sum w)^2 / sum w^2 = P^2 / sum w^2, below P / 2.
    if (squares > 2.0 * particleCount) resample(particles, engine);
    const bool walkHere = walking && k - 1 < n;
    for (std::size_t i = 0; i < count; ++i) {
      if (weights_[i] == 0.0) continue;
      State& state = particles[i];
      if constexpr (!Weighted) state.remove(state.drawRemovable(engine));
      if (!walkHere) continue;
      const auto outside = static_cast<std::uint32_t>(n - state.size());
      for (std::int32_t step = 0; step < settings_.walkSteps; ++step) {
        const std::int32_t y = state.outsideAt(static_cast<std::int32_t>(engine.below(outside)));
        state.add(y);
        const std::int32_t x = state.drawRemovable(engine);
        if constexpr (Weighted) {
          // S + y - x has weight W(S) r_y / r_x: accepted with chance min(1, r_y / r_x).
          if (x != y && (odds[y] >= odds[x] || engine.unit() * odds[x] < odds[y])) {
            state.remove(x);
            outsideOdds_[i] += static_cast<long double>(odds[x]) - static_cast<long double>(odds[y]);
            ++moves_[i];
          } else {
            state.remove(y);
          }
        } else {
          state.remove(x);
        }
      }
      if constexpr (Weighted) {
        if (moves_[i] > static_cast<std::int32_t>(outside)) {
          long double fresh = 0.0L;
          for (std::int32_t j = 0; j < static_cast<std::int32_t>(outside); ++j) fresh += odds[state.outsideAt(j)];
          outsideOdds_[i] = fresh;
          moves_[i] = 0;
        }
      }
    }
    if (walking && negligibleHere(scale, total)) walking = false;
    if (walking) walkedDown_ = n - k + 1;
  }
  return total;
}

template <class State>
void SizeDescent::resample(std::vector<State>& particles, SplitEngine& engine) {
  // Systematic resampling: P evenly spaced points u, u + 1, ..., u + P - 1 over the weights
  // laid end to end (they sum to P); particle i gets as many copies as points fall on it.
  const std::size_t count = particles.size();
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
  const bool weighted = !outsideOdds_.empty();
  std::size_t next = 0;
  for (std::size_t i = 0; i < count; ++i) {
    for (std::int32_t copy = 1; copy < offspring_[i]; ++copy) {
      const auto to = static_cast<std::size_t>(vacant_[next++]);
      particles[to] = particles[i];
      if (weighted) {
        outsideOdds_[to] = outsideOdds_[i];
        moves_[to] = moves_[i];
      }
    }
  }
  std::fill(weights_.begin(), weights_.end(), 1.0);
}

}  // namespace monocount
