#include "estimation/splitting/size_descent.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace monocount {

namespace {

// The particles of the satisfying side, of either width.
template <class State>
constexpr bool isCover = !std::is_same_v<State, ClauseContainment>;

}  // namespace

DescentSettings DescentSettings::forVariables(std::int32_t variableCount) {
  DescentSettings settings;
  if (variableCount <= 256) return settings;
  settings.particles = 8;
  settings.walkSteps = 64;  // n / 32 rounded up to a power of two, 64 to 256
  while (settings.walkSteps < 256 && settings.walkSteps < variableCount / 32) settings.walkSteps *= 2;
  return settings;
}

SizeDescent::SizeDescent(const Problem& problem, const OccurrenceTable& table, const DescentSettings& settings,
                         DescentTarget target)
    : variableCount_(table.variableCount), settings_(settings), target_(std::move(target)) {
  const auto count = static_cast<std::size_t>(std::max(settings.particles, 1));
  if (!target_.odds.empty() && target_.odds.size() != static_cast<std::size_t>(variableCount_)) {
    throw std::invalid_argument("SizeDescent: one odds per variable");
  }
  if (target_.side == DescentSide::satisfying) {
    if (NarrowCoverState::holds(table)) {
      narrowCovers_.assign(count, NarrowCoverState(table));
    } else {
      covers_.assign(count, CoverState(table));
    }
  } else {
    containments_.assign(count, ClauseContainment(problem, table));
  }
  weights_.resize(count);
  offspring_.resize(count);
  vacant_.reserve(count);
  if (target_.ascend) {
    completing_.reserve(static_cast<std::size_t>(variableCount_));
    masses_.reserve(static_cast<std::size_t>(variableCount_));
  }
  if (!target_.odds.empty()) {
    outsideOdds_.resize(count);
    moves_.resize(count);
  }
  for (const double odds : target_.odds) whole_ *= WideReal(odds);
  if (!target_.odds.empty()) {
    std::vector<double> sorted = target_.odds;
    const auto at = sorted.begin() + static_cast<std::ptrdiff_t>(0.99 * static_cast<double>(sorted.size() - 1));
    std::nth_element(sorted.begin(), at, sorted.end());
    exactBelow_ = static_cast<long double>(settings_.exactRemoval) * *at;
    classes_.assign(count, OddsClasses(OddsClasses::layoutOf(target_.odds)));
    if (target_.side == DescentSide::satisfying) {  // the tilted removal's
      gains_.resize(target_.odds.size());
      powers_.resize(target_.odds.size());
      outsidePowers_.resize(count);
    }
  }
  for (const double rho : target_.watched) {
    watchStep_.push_back(WideReal(1.0) / WideReal(rho));
    watchRise_.push_back(WideReal(rho));
  }
  if (!target_.watchOwn && target_.watched.empty()) target_.watchOwn = true;
  if (target_.ascend) {
    if (target_.side != DescentSide::failing) throw std::invalid_argument("SizeDescent: only the failing side ascends");
    if (!target_.minimal) target_.minimal = std::make_shared<const MinimalClauses>(problem, table, target_.odds);
  }
  watchFactor_.resize(watchStep_.size());
  watchTotal_.resize(watchStep_.size());
}

WideReal SizeDescent::run(SplitEngine& engine, std::span<WideReal> sizes, const StepProgress* progress) {
  const bool weighted = !target_.odds.empty();
  if (target_.side == DescentSide::satisfying) {
    if (!narrowCovers_.empty()) {
      return weighted ? descend<NarrowCoverState, true>(narrowCovers_, engine, sizes, progress)
                      : descend<NarrowCoverState, false>(narrowCovers_, engine, sizes, progress);
    }
    return weighted ? descend<CoverState, true>(covers_, engine, sizes, progress)
                    : descend<CoverState, false>(covers_, engine, sizes, progress);
  }
  if (target_.ascend) return weighted ? ascend<true>(engine, sizes, progress) : ascend<false>(engine, sizes, progress);
  return weighted ? descend<ClauseContainment, true>(containments_, engine, sizes, progress)
                  : descend<ClauseContainment, false>(containments_, engine, sizes, progress);
}

bool SizeDescent::negligibleHere(const WideReal& scale, const WideReal& total, bool up) {
  const WideReal share(settings_.negligible);
  bool small = !target_.watchOwn || scale < total * share;
  for (std::size_t q = 0; q < watchStep_.size(); ++q) {
    watchFactor_[q] *= up ? watchRise_[q] : watchStep_[q];
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
      classes_[i].fill();
    }
  }
  if constexpr (Weighted) exponentStep_ = -1;
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
  // With watched quantities (or odds) the digits are new anyway: once the walk stops, resampling
  // stops and one particle carries the root on. Without, every step stays as it always was.
  const bool watching = !target_.watched.empty();
  // Sizes between progress reports: a few dozen moves each, so that reports cost nothing.
  constexpr std::int32_t kReportEvery = 16;
  // Nearly all of a root's work is done while it walks: the share done is judged by the sizes
  // the root before walked down (half of them before the first root).
  const double toGo = std::max(1.0, walkedDown_ > 0 ? static_cast<double>(walkedDown_) : 0.5 * n);
  walkedDown_ = 0;
  smallest_ = n;
  for (std::int32_t k = n; k >= 1; --k) {
    if ((n - k) % kReportEvery == kReportEvery - 1) {
      if (progress != nullptr) (*progress)(std::min(0.99, static_cast<double>(n - k) / toGo));
      if (abandoned()) return WideReal(0.0);
    }
    double sum = 0.0;
    if constexpr (Weighted && isCover<State>) {
      tilt(particles, k);
      sum = removeTilted(particles, engine, walking);
    } else if constexpr (Weighted) {
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
        const long double before = outsideOdds_[i];
        std::int32_t x = -1;
        if (walking && before < exactBelow_) {
          // x with chance proportional to 1 / R(S - x); the weight is the sum of those.
          weights_[i] *= drawRemovableBy(state, engine, x, [&](std::int32_t z) {
            return 1.0 / static_cast<double>(before + odds[z]);
          });
        } else {
          x = state.drawRemovable(engine);
          weights_[i] *= static_cast<double>(removable) / static_cast<double>(before + odds[x]);
        }
        moveOut(state, i, x);
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
    // Effective particles (sum w)^2 / sum w^2 = P^2 / sum w^2, below P / 2. (Under odds not once
    // the walk has stopped: the sizes left are negligible, and copying states costs.)
    if (squares > 2.0 * particleCount && (walking || !(Weighted || watching))) resample(particles, engine);
    const bool walkHere = walking && k - 1 < n;
    for (std::size_t i = 0; i < count; ++i) {
      if (weights_[i] == 0.0) continue;
      State& state = particles[i];
      if constexpr (!Weighted) state.remove(state.drawRemovable(engine));
      if (!walkHere) continue;
      if constexpr (Weighted) {
        walkUnderOdds(state, i, engine);
        refreshOutside(state, i);
      } else {
        const auto outside = static_cast<std::uint32_t>(n - state.size());
        for (std::int32_t step = 0; step < settings_.walkSteps; ++step) {
          state.add(state.outsideAt(static_cast<std::int32_t>(engine.below(outside))));
          state.remove(state.drawRemovable(engine));
        }
      }
    }
    if (walking && negligibleHere(scale, total, false)) walking = false;
    if (walking) walkedDown_ = n - k + 1;
    if ((Weighted || watching) && !walking) collapse(particles, engine);
  }
  return total;
}


template <bool Weighted>
WideReal SizeDescent::ascend(SplitEngine& engine, std::span<WideReal> sizes, const StepProgress* progress) {
  std::vector<ClauseContainment>& particles = containments_;
  const MinimalClauses& minimal = *target_.minimal;
  const std::int32_t n = variableCount_;
  const std::size_t count = particles.size();
  const double particleCount = static_cast<double>(count);
  const double* odds = target_.odds.data();
  const std::int32_t first = minimal.smallestSize();
  // The smallest minimal clauses, drawn by weight: the exact law of the smallest size.
  for (std::size_t i = 0; i < count; ++i) {
    particles[i].assign(minimal.draw(first, engine));
    weights_[i] = 1.0;
    if constexpr (Weighted) placeUnderOdds(particles[i], i);
  }
  WideReal scale = minimal.weight(first);
  WideReal total = scale;
  std::fill(watchFactor_.begin(), watchFactor_.end(), WideReal(1.0));
  std::fill(watchTotal_.begin(), watchTotal_.end(), scale);
  const bool record = !sizes.empty();
  if (record) sizes[static_cast<std::size_t>(n - first)] += scale;
  bool walking = settings_.walkSteps > 0;
  constexpr std::int32_t kReportEvery = 16;
  const double toGo = std::max(1.0, walkedDown_ > 0 ? static_cast<double>(walkedDown_) : 0.5 * (n - first));
  walkedDown_ = 0;
  smallest_ = first;
  for (std::int32_t j = first; j < n; ++j) {
    if ((j - first) % kReportEvery == kReportEvery - 1) {
      if (progress != nullptr) (*progress)(std::min(0.99, static_cast<double>(j - first) / toGo));
      if (abandoned()) return WideReal(0.0);
    }
    for (std::size_t i = 0; walking && i < count; ++i) {
      if constexpr (Weighted) {
        walkUnderOdds(particles[i], i, engine);
        refreshOutside(particles[i], i);
      } else {
        ClauseContainment& state = particles[i];
        const auto outside = static_cast<std::uint32_t>(n - j);
        for (std::int32_t step = 0; step < settings_.walkSteps; ++step) {
          state.add(state.outsideAt(static_cast<std::int32_t>(engine.below(outside))));
          state.remove(state.drawRemovable(engine));
        }
      }
    }
    // Up one size: particle T gains y with chance M(y) and is weighted by 1 / (M(y) rem(T + y)),
    // rem(T + y) >= 1 as y is removable, the backward step being a uniform removable member.
    // With M(y) proportional to r_y / rem(T + y) (r_y = 1 unweighted) the weight is
    // sum over y outside of r_y / rem(T + y), the same whichever y is drawn: every y that
    // completes no clause gives rem(T) + 1, so only the completing ones are tried (added,
    // counted, taken out again).
    const auto outside = static_cast<std::uint32_t>(n - j);
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
      if (weights_[i] == 0.0) continue;
      ClauseContainment& state = particles[i];
      const std::int32_t removable = state.removableCount();
      const double others = static_cast<double>(removable + 1);
      long double rest = Weighted ? outsideOdds_[i] : static_cast<long double>(outside);
      if (removable == state.size()) {
        // No member lies in every held clause, nor can one after adding y: rem(T + y) is
        // |T| + 1 for every y, so M(y) is r_y / R(T) and the weight R(T) / (|T| + 1), without
        // trying the completing y (O(n) of them late in the ascent, which made a root quadratic).
        std::int32_t y = -1;
        if constexpr (Weighted) {
          y = classes_[i].drawOutsideByOdds(engine);
          moveIn(state, i, y);
        } else {
          y = state.outsideAt(static_cast<std::int32_t>(engine.below(outside)));
          state.add(y);
        }
        weights_[i] *= static_cast<double>(rest) / others;
        sum += weights_[i];
        continue;
      }
      state.completing(completing_);
      masses_.clear();
      double mass = 0.0;  // sum over y outside of r_y / rem(T + y)
      for (const std::int32_t y : completing_) {
        double r = 1.0;
        if constexpr (Weighted) r = odds[y];
        rest -= r;
        state.add(y);
        masses_.push_back(r / static_cast<double>(state.removableCount()));
        state.remove(y);
        mass += masses_.back();
      }
      // Every y outside completes a clause: nothing is left for the neutral draw, whatever
      // rounding left in `rest`.
      const double neutral = completing_.size() == outside ? 0.0 : std::max(0.0, static_cast<double>(rest)) / others;
      mass += neutral;
      const double point = engine.unit() * mass;
      std::int32_t y = -1;
      if (point < neutral || completing_.empty()) {
        // A y completing nothing, with chance proportional to r_y: drawn so among all outside,
        // again while it completes.
        do {
          if constexpr (Weighted) {
            y = classes_[i].drawOutsideByOdds(engine);
          } else {
            y = state.outsideAt(static_cast<std::int32_t>(engine.below(outside)));
          }
        } while (state.completedLast(y));
      } else {
        double reach = neutral;
        for (std::size_t c = 0; c < completing_.size() && y < 0; ++c) {
          reach += masses_[c];
          if (point < reach || c + 1 == completing_.size()) y = completing_[c];
        }
      }
      if constexpr (Weighted) {
        moveIn(state, i, y);
      } else {
        state.add(y);
      }
      weights_[i] *= mass;
      sum += weights_[i];
    }
    const double mean = sum / particleCount;
    double squares = 0.0;
    for (double& weight : weights_) {
      weight /= mean;
      squares += weight * weight;
    }
    // The sets of size j + 1 reached from below, and the minimal clauses of that size, which are not.
    const WideReal reached = scale * WideReal(mean);
    const WideReal born = minimal.weight(j + 1);
    scale = reached + born;
    total += scale;
    if (record) sizes[static_cast<std::size_t>(n - j - 1)] += scale;
    if (!born.isZero()) {
      immigrate(j + 1, (reached / scale).toDouble(), engine);
    } else if (squares > 2.0 * particleCount && walking) {
      resample(particles, engine);
    }
    if (walking && negligibleHere(scale, total, true)) walking = false;
    if (walking) walkedDown_ = j - first + 1;
    if (!walking) collapse(particles, engine);
  }
  return total;
}

void SizeDescent::immigrate(std::int32_t size, double reachedShare, SplitEngine& engine) {
  // Of the P places, K = reachedShare * P rounded at random go to the particles reached from
  // below (systematic resampling by weight), the others to minimal clauses of `size` drawn by
  // weight: each place then holds the law of the size with mean weight 1.
  std::vector<ClauseContainment>& particles = containments_;
  const std::size_t count = particles.size();
  const double share = std::clamp(reachedShare, 0.0, 1.0) * static_cast<double>(count);
  const auto reached = std::min(count, static_cast<std::size_t>(std::floor(share + engine.unit())));
  std::size_t next = 0;
  if (reached > 0) {
    next = resample(particles, engine, reached);
  } else {
    vacant_.clear();
    for (std::size_t i = 0; i < count; ++i) vacant_.push_back(static_cast<std::int32_t>(i));
    std::fill(weights_.begin(), weights_.end(), 1.0);
  }
  for (; next < vacant_.size(); ++next) {
    const auto at = static_cast<std::size_t>(vacant_[next]);
    particles[at].assign(target_.minimal->draw(size, engine));
    if (!outsideOdds_.empty()) placeUnderOdds(particles[at], at);
  }
}

template <class State>
void SizeDescent::collapse(std::vector<State>& particles, SplitEngine& engine) {
  // One particle drawn by weight carries the estimate alone: weight P, the others 0.
  std::size_t live = 0;
  for (const double weight : weights_) live += weight > 0.0;
  if (live <= 1) return;
  const std::size_t next = resample(particles, engine, 1);
  for (std::size_t i = next; i < vacant_.size(); ++i) weights_[static_cast<std::size_t>(vacant_[i])] = 0.0;
  for (double& weight : weights_) {
    if (weight > 0.0) weight = static_cast<double>(particles.size());
  }
}

template <class State>
long double SizeDescent::sumOutside(const State& state, const double* values) const {
  if (values == nullptr) values = target_.odds.data();
  long double sum = 0.0L;
  for (std::int32_t j = 0; j < variableCount_ - state.size(); ++j) sum += values[static_cast<std::size_t>(state.outsideAt(j))];
  return sum;
}

template <class State, class Chance>
double SizeDescent::drawRemovableBy(const State& state, SplitEngine& engine, std::int32_t& x, Chance chance) {
  double chances = 0.0;
  state.forEachRemovable([&](std::int32_t z) { chances += chance(z); });
  const double point = engine.unit() * chances;
  double reach = 0.0;
  x = -1;
  state.forEachRemovable([&](std::int32_t z) {
    reach += chance(z);
    if (x < 0 && point < reach) x = z;
  });
  if (x < 0) x = state.drawRemovable(engine);  // not reached: point < chances
  return chances;
}

template <class State>
void SizeDescent::tilt(std::vector<State>& particles, std::int32_t k) {
  // The exponent a = 1 - k / n, in steps of 1 / kTiltSteps: at each step the weights r^a and
  // r^(a - 1) anew, and every particle's sums of them.
  const std::int32_t n = variableCount_;
  const std::int32_t step = static_cast<std::int32_t>(
      std::lround(static_cast<double>(kTiltSteps) * static_cast<double>(k) / static_cast<double>(n)));
  if (step == exponentStep_) return;
  exponentStep_ = step;
  const double exponent = 1.0 - static_cast<double>(step) / kTiltSteps;
  largestGain_ = 0.0;
  double smallestGain = 0.0;
  for (std::size_t v = 0; v < powers_.size(); ++v) {
    powers_[v] = std::pow(target_.odds[v], exponent);
    gains_[v] = powers_[v] / target_.odds[v];
    largestGain_ = std::max(largestGain_, gains_[v]);
    smallestGain = v == 0 ? gains_[v] : std::min(smallestGain, gains_[v]);
  }
  evenGains_ = largestGain_ <= smallestGain;
  tallyTrusted_ = largestGain_ <= kTallyRange * smallestGain;
  std::vector<double>& sorted = scratch_;
  sorted = powers_;
  const auto at = sorted.begin() + static_cast<std::ptrdiff_t>(0.99 * static_cast<double>(sorted.size() - 1));
  std::nth_element(sorted.begin(), at, sorted.end());
  exactPowersBelow_ = static_cast<long double>(settings_.exactRemoval) * *at;
  for (std::size_t i = 0; i < particles.size(); ++i) {
    particles[i].tally(gains_.data());
    outsidePowers_[i] = sumOutside(particles[i], powers_.data());
  }
}

template <class State>
double SizeDescent::removeTilted(std::vector<State>& particles, SplitEngine& engine, bool walking) {
  // Particle S loses x drawn with chance proportional to g_x = r_x^(a - 1) among its removable
  // members and is weighted by G(S) / (B(S) + r_x^a), G the sum of g over them and B that of
  // r^a over the outside: the pair (S, x) then carries W(S) c(S - x, x) / r_x with
  // c(T, x) = r_x^a / B(T), which sums to 1 over the x outside T.
  double sum = 0.0;
  for (std::size_t i = 0; i < particles.size(); ++i) {
    if (weights_[i] == 0.0) continue;
    State& state = particles[i];
    if (state.removableCount() == 0) {
      weights_[i] = 0.0;
      continue;
    }
    const long double before = outsidePowers_[i];
    const auto term = [&](std::int32_t z) {
      const auto v = static_cast<std::size_t>(z);
      return gains_[v] / static_cast<double>(before + static_cast<long double>(powers_[v]));
    };
    std::int32_t x = -1;
    if ((!walking || before >= exactPowersBelow_) && tallyTrusted_) {
      // By rejection: a uniform removable member, kept with chance g_x / (the largest g). After
      // kTiltTries refusals (odds so uneven that the removable members' g lie far below the
      // largest) the exact draw below takes over: either way the weighted step has the same
      // expectation, and whether the tries failed does not depend on which x they would give.
      for (std::int32_t tries = 0; tries < kTiltTries && x < 0; ++tries) {
        const std::int32_t z = state.drawRemovable(engine);
        if (evenGains_ || engine.unit() * largestGain_ < gains_[static_cast<std::size_t>(z)]) x = z;
      }
      if (x >= 0) {
        const auto v = static_cast<std::size_t>(x);
        weights_[i] *= state.removableGain() / static_cast<double>(before + static_cast<long double>(powers_[v]));
      }
    }
    if (x < 0) {
      // x with chance proportional to g_x / (B + r_x^a), the weight their sum: near the whole set,
      // where B is small and 1 / (B + r_x^a) varies with x, after the refusals above, and when the
      // g range so widely that the kept sum G cannot be trusted (its rounding errors, from
      // adding and taking away the largest, would swamp a sum of the smallest).
      weights_[i] *= drawRemovableBy(state, engine, x, term);
    }
    moveOut(state, i, x);
    sum += weights_[i];
  }
  return sum;
}

template <class State>
void SizeDescent::refreshOutside(const State& state, std::size_t i) {
  if (moves_[i] <= variableCount_ - state.size()) return;
  outsideOdds_[i] = sumOutside(state);
  if (!outsidePowers_.empty()) outsidePowers_[i] = sumOutside(state, powers_.data());
  moves_[i] = 0;
}

template <class State>
void SizeDescent::placeUnderOdds(const State& state, std::size_t i) {
  classes_[i].assign([&](std::int32_t v) { return state.contains(v); });
  outsideOdds_[i] = sumOutside(state);
  moves_[i] = 0;
}

template <class State>
void SizeDescent::moveIn(State& state, std::size_t i, std::int32_t y) {
  if constexpr (isCover<State>) {
    state.addTallied(y);
  } else {
    state.add(y);
  }
  classes_[i].enter(y);
  outsideOdds_[i] -= static_cast<long double>(target_.odds[static_cast<std::size_t>(y)]);
  if (!outsidePowers_.empty()) outsidePowers_[i] -= static_cast<long double>(powers_[static_cast<std::size_t>(y)]);
  ++moves_[i];
}

template <class State>
void SizeDescent::moveOut(State& state, std::size_t i, std::int32_t x) {
  if constexpr (isCover<State>) {
    state.removeTallied(x);
  } else {
    state.remove(x);
  }
  classes_[i].leave(x);
  outsideOdds_[i] += static_cast<long double>(target_.odds[static_cast<std::size_t>(x)]);
  if (!outsidePowers_.empty()) outsidePowers_[i] += static_cast<long double>(powers_[static_cast<std::size_t>(x)]);
  ++moves_[i];
}

template <class State>
void SizeDescent::walkUnderOdds(State& state, std::size_t i, SplitEngine& engine) {
  const double* odds = target_.odds.data();
  const auto outside = static_cast<std::uint32_t>(variableCount_ - state.size());
  for (std::int32_t step = 0; step < settings_.walkSteps; ++step) {
    if (step % 2 == 0) {
      // y uniform outside, then x a member of S + y with chance proportional to 1 / r_x, the one
      // that leaves if it is removable (y leaves otherwise: the step stays): the chance of
      // S -> S + y - x is (1 / (n - k)) (1 / r_x) / H, that of the way back (1 / (n - k)) (1 / r_y) / H,
      // H the sum of 1 / r over S + y, and their ratio r_y / r_x is that of the weights.
      const std::int32_t y = state.outsideAt(static_cast<std::int32_t>(engine.below(outside)));
      moveIn(state, i, y);
      const std::int32_t x = classes_[i].drawMemberByInverseOdds(engine);
      moveOut(state, i, state.removable(x) ? x : y);
      continue;
    }
    // y outside with chance r_y / R(S), x uniform removable in S + y: the ratio of the chances
    // of the way back and forth times that of the weights is R(S) / R(S + y - x), the chance of
    // acceptance (near 1 where R is large).
    const long double before = outsideOdds_[i];
    const std::int32_t y = classes_[i].drawOutsideByOdds(engine);
    moveIn(state, i, y);
    const std::int32_t x = state.drawRemovable(engine);
    const long double after = before - static_cast<long double>(odds[y]) + static_cast<long double>(odds[x]);
    const bool accepted = x != y && (after <= before || static_cast<long double>(engine.unit()) * after < before);
    moveOut(state, i, accepted ? x : y);
  }
}

template <class State>
std::size_t SizeDescent::resample(std::vector<State>& particles, SplitEngine& engine, std::size_t points) {
  // Systematic resampling: `points` evenly spaced points u, u + d, ..., d = P / points, over the
  // weights laid end to end (they sum to P); particle i gets as many copies as points fall on it.
  const std::size_t count = particles.size();
  if (points == 0) points = count;
  const double spacing = static_cast<double>(count) / static_cast<double>(points);
  double point = engine.unit() * spacing;
  double reach = 0.0;
  std::size_t taken = 0;
  std::size_t lastAlive = 0;
  for (std::size_t i = 0; i < count; ++i) {
    reach += weights_[i];
    if (weights_[i] > 0.0) lastAlive = i;
    std::int32_t copies = 0;
    while (taken < points && point < reach) {
      ++copies;
      ++taken;
      point += spacing;
    }
    offspring_[i] = copies;
  }
  // The weights sum to P up to rounding: a point beyond their end goes to the last live particle.
  if (taken < points) offspring_[lastAlive] += static_cast<std::int32_t>(points - taken);
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
        if (!outsidePowers_.empty()) outsidePowers_[to] = outsidePowers_[i];
        moves_[to] = moves_[i];
        classes_[to] = classes_[i];
      }
    }
  }
  std::fill(weights_.begin(), weights_.end(), 1.0);
  return next;
}

}  // namespace monocount
