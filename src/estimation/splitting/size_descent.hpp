#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "estimation/numerics/wide_real.hpp"
#include "estimation/parallel/stop_request.hpp"
#include "estimation/randomness/split_engine.hpp"
#include "estimation/splitting/clause_containment.hpp"
#include "estimation/splitting/cover_state.hpp"
#include "estimation/splitting/descent_target.hpp"
#include "estimation/splitting/odds_classes.hpp"
#include "problem/occurrence_table.hpp"
#include "problem/problem.hpp"

namespace monocount {

// How a root of the size descent runs. The defaults are what a formula of up to 256 variables
// runs with (forVariables); the README's accuracy and honesty tables were measured with them.
struct DescentSettings {
  // Particles per root, >= 1.
  std::int32_t particles = 32;
  // Walk steps per particle after each removal, >= 0.
  std::int32_t walkSteps = 16;
  // The walk stops, for the rest of a root, at the first size whose estimate falls below this
  // share of the root's estimate so far, and so does every watched quantity's term (the
  // removals go on: the sizes below stay estimated, only with more spread).
  double negligible = 1e-12;
  // Under per-variable odds: a particle draws the member it loses with its exact chance,
  // proportional to 1 / R(S - x), while R(S) is below this multiple of the odds' 99th
  // percentile, and uniformly after (see SizeDescent).
  double exactRemoval = 8.0;

  // The particles and walk steps a root of an n-variable formula runs with. A root's relative
  // variance grows about as c n / (particles x walk steps) (c near 0.03 on grids and random
  // 3-CNF, 0.005 on paths), its cost as n x particles x walk steps per size, and walk steps are
  // cheaper than particles (a particle walks while its state is in cache; particles are copied
  // when resampled). So up to 256 variables 32 particles walk 16 steps (the best measured
  // there); beyond, 8 particles walk n / 32 steps, rounded up to a power of two from 64 to 256:
  // a root's relative variance then stays near 0.1 on grids up to 10,000 variables, where its
  // estimate is light-tailed and the reported error honest, at half the work x variance of
  // 32 x 16 or less (bench/tools/descent_tuning).
  static DescentSettings forVariables(std::int32_t variableCount);
};

// One root of the splitting estimator: sequential Monte Carlo down the sizes of the satisfying
// sets, from the whole set of n variables to sets from which no variable can be removed; or,
// with DescentTarget::side failing, through the sets that hold a whole clause (the false
// variables of the failing assignments), down from the whole set or up from the minimal clauses.
//
// Let N(k) be the number of satisfying sets of k variables. For a satisfying set S of size k,
// let rem(S) be the number of its members whose removal leaves it satisfying. Every pair (S, x)
// with x removable is one satisfying set T = S - x of size k - 1 and one of its n - k + 1
// supersets T + x, all satisfying as the formula is monotone; hence
//   sum over S of size k of rem(S) / (n - k + 1) = N(k - 1),
// and removing a uniform removable member of a set drawn with weight rem(S) gives a uniform
// set of size k - 1. So the particles, all the whole set at first (N(n) = 1), go down one size
// at a time: each particle's weight is multiplied by rem(S) / (n - k + 1), then it loses a
// uniform removable member. The mean weight after the step to size k - 1 is an unbiased
// estimate of N(k - 1) (the product estimator of sequential Monte Carlo, Del Moral). The
// particles are resampled (systematically) when the effective number of them falls below half,
// and walk between steps on sets of the same size: add a uniform outside variable y, then
// remove a uniform removable member of S + y (maybe y). The walk's chance of S -> S' equals that
// of S' -> S (both are 1 / ((n - k) rem(S + y))), so it keeps the uniform law on the sets of
// each size; resampling and walking change the spread, never the expectation. A particle with
// no removable member keeps weight 0; the root ends when every particle has. The sets holding
// a clause are closed under adding too, their removable members being those whose removal keeps
// a clause held: the same identity, word for word, estimates their sizes.
//
// Under per-variable odds r (DescentTarget::odds) a set weighs W(S) = prod_{v in S} r_v and the
// root estimates Z_k = sum of W(S) over the sets of size k. Let R(T) = sum of r_y over y outside
// T. A particle S, drawn with weight W(S), loses a removable member x drawn with chance q(x) and
// is weighted by 1 / (q(x) R(S - x)): the pair (S, x) then carries W(S) / R(T) = W(T) r_x / R(T)
// for T = S - x, and summed over the x outside T (every T + x is in the family) that is W(T).
// So the mean weight estimates Z_(k-1) / Z_k, from Z_n = W(V), and the particles are drawn with
// weight W at size k - 1. With a uniform q the weight is rem(S) / R(S - x), and with every
// r_v = 1 this is the step above, R(T) = n - k + 1. Near the whole set R(S) is small and that
// factor varies as 1 / r_x; so while R(S) is below DescentSettings::exactRemoval times the odds'
// 99th percentile (and the root still walks), q(x) is proportional to 1 / R(S - x) and the
// weight is the sum over removable z of 1 / R(S - z), whichever x is drawn (two passes over the
// removable members). The walk alternates two moves that keep the law W on each size, both
// drawn exactly through OddsClasses:
//   - y uniform outside, x a member of S + y with chance proportional to 1 / r_x, which leaves
//     if it is removable (y leaves otherwise): detailed balance holds with acceptance 1;
//   - y outside with chance r_y / R(S), x uniform removable in S + y, accepted with chance
//     min(1, R(S) / R(S + y - x)), near 1 once R is large.
// R is kept per particle in long double, and summed afresh once the moves since the last sum
// outnumber the variables outside (amortized O(1) a move).
//
// Under odds the weight of each size depends on R(S), a sum over the whole outside set that the
// walk renews only a few variables per size; the errors of successive sizes then add up rather
// than average out, and a root's log-variance grows about linearly with the sizes walked times the
// odds' squared coefficient of variation over (particles x walk steps). The identity holds for any
// c(T, x) >= 0 that sums to 1 over the x outside T (above, c = r_x / R(T)): the pair (S, x)
// carries W(S) c(S - x, x) / r_x. On the satisfying side c(T, x) = r_x^a / B(T), B(T) the sum of
// r_y^a over y outside T and a = 1 - k / n (in steps of 1 / kTiltSteps): a set with more of the
// large odds has a smaller B but a smaller G(S), the sum of g_x = r_x^(a - 1) over its removable
// members, and at that a the two cancel to first order, so the weight hardly depends on the slow
// sums at all (at the whole set a = 0, c uniform; near the minimal sets a -> 1). x is drawn with
// chance g_x / G(S) (a uniform removable member kept with chance g_x over the largest g; after
// kTiltTries refusals, near the whole set, and for g spread beyond kTallyRange, exactly, in two
// passes over the removable members),
// the weight is G(S) / (B(S) + r_x^a), and G is kept by the particle's CoverState as members
// become removable and stop being so (CoverState::tally). On the 10,000-variable path with chances
// in [0.3, 0.7] a root's log-variance fell from about 0.6 to 0.1 (bench/tools/rare_sides:
// path-holds).
//
// The ascent (DescentTarget::ascend, failing side) starts where a rare failure lies: at the
// minimal clauses (MinimalClauses), the particles drawn among the smallest by weight, whose sum
// is exact. Up one size, a particle T gains y with chance M(y) and is weighted by
// 1 / (M(y) rem(T + y)), the backward step being a uniform removable member (rem >= 1 as y is
// removable): the mean weight estimates the weight of the sets of size j + 1 reached from below.
// M(y) is proportional to r_y / rem(T + y), so the weight is sum over y outside of
// r_y / rem(T + y) whichever y is drawn: each y completing no clause gives rem(T) + 1, and only
// the few that complete one (ClauseContainment::completing) are tried; and once no member of T
// lies in every clause T holds (soon, on most formulas), none can after adding y either, so
// rem(T + y) = |T| + 1 for every y and y is drawn by its odds alone in O(1). (With a single y drawn
// by its odds the rare y that completes a clause would carry most of a step's spread, and the
// replications that never meet one would report too small an error.) The minimal clauses of
// size j + 1, not reached from below, join with their exact weight (immigrate: the places are
// shared between the two in proportion, the newcomers drawn by weight). Near the clauses R(T)
// is nearly the sum of all odds, so the trouble above does not arise there.
//
// The walk stops, for the rest of a root, at the first size whose estimate and whose term of
// every watched quantity (DescentTarget::watched) fall below `negligible` of their sums so far;
// the steps go on, so the sizes beyond stay estimated, without bias, only with more spread.
// Under odds, with watched quantities and on the ascent, one particle drawn by weight then goes
// on alone (without them, the unweighted descent keeps resampling all of them, as it always has).
// (Deciding the walk from the root's own past makes the kernels of the later sizes depend on
// the particles, which can in principle bias the product estimator; the rule only switches the
// walk off where the rest carries less than about `negligible` of every quantity.)
//
// The root's estimate is sum_k Z_k. Unweighted, it is at most sum_k C(n, k) = 2^n and each
// N^(k) lies between 0 and C(n, k), since every factor rem / (n - k + 1) is at most
// k / (n - k + 1).
//
// A root costs about P * (sizes walked) * (1 + 2 walkSteps) moves, each a few operations per
// clause of the variable moved (on the failing side, plus the length of each clause that becomes
// or stops being held), and one move per size beyond; memory: P states (and their odds classes).
// Nothing is allocated per root.
class SizeDescent {
 public:
  // `problem` (without an empty clause, with at least one clause) and `table` must outlive the
  // descent. The target's odds, when given, hold one entry per variable.
  SizeDescent(const Problem& problem, const OccurrenceTable& table, const DescentSettings& settings,
              DescentTarget target = {});

  // Called every few sizes with the share of the root done so far (0 to 1), judged from how far
  // the previous root walked.
  using StepProgress = std::function<void(double part)>;

  // Runs one root on `engine`. With `sizes` (n + 1 entries), adds the root's estimate of each
  // size it reached: on the satisfying side Z_k to sizes[k], on the failing side the estimate
  // for the sets of j false variables to sizes[n - j] (so that, unweighted, sizes[k] is F(k),
  // the failing assignments with k true variables). With `progress`, tells it how far the root
  // has gone. Returns the root's estimate, sum_j Z_j.
  WideReal run(SplitEngine& engine, std::span<WideReal> sizes = {}, const StepProgress* progress = nullptr);

  // The smallest set of its side any particle of the last root reached (for the failing side:
  // the smallest set of false variables, a clause).
  std::int32_t smallestSize() const { return smallest_; }
  // The sizes the last root walked through before its walk stopped.
  std::int32_t walkedSizes() const { return walkedDown_; }
  const DescentTarget& target() const { return target_; }
  // Roots give up every few sizes, returning 0, once `stop` is interrupted (a signal: the
  // replication under way is dropped, so what a root left undone does not matter); a time limit
  // lets them finish. Null: never.
  void abandonOn(const StopRequest* stop) { stop_ = stop; }

 private:
  bool abandoned() const { return stop_ != nullptr && stop_->reason() == StopReason::interrupted; }
  template <class State, bool Weighted>
  WideReal descend(std::vector<State>& particles, SplitEngine& engine, std::span<WideReal> sizes,
                   const StepProgress* progress);
  template <bool Weighted>
  WideReal ascend(SplitEngine& engine, std::span<WideReal> sizes, const StepProgress* progress);
  // Systematic resampling with `points` points (0: one per particle), weights back to 1; the
  // places of vacant_ from the returned index on are left free (P - points of them).
  template <class State>
  std::size_t resample(std::vector<State>& particles, SplitEngine& engine, std::size_t points = 0);
  // Once the walk has stopped (descent under odds, ascent): one particle drawn by weight goes on
  // alone, with weight P.
  template <class State>
  void collapse(std::vector<State>& particles, SplitEngine& engine);
  // The ascent's resampling at a size with minimal clauses: `reachedShare` of the places to the
  // particles reached from below, the rest to minimal clauses of `size`.
  void immigrate(std::int32_t size, double reachedShare, SplitEngine& engine);
  // R(S) summed afresh, and R of particle i summed afresh once its moves outnumber the outside.
  template <class State>
  long double sumOutside(const State& state, const double* values = nullptr) const;
  // The tilted removal (satisfying side under odds): the exponent
  // for size k and what follows from it; then the step down of every particle, returning the
  // sum of their weights.
  template <class State>
  void tilt(std::vector<State>& particles, std::int32_t k);
  // A removable member x of `state` with chance proportional to chance(x), in two passes over
  // them; returns the sum of the chances.
  template <class State, class Chance>
  static double drawRemovableBy(const State& state, SplitEngine& engine, std::int32_t& x, Chance chance);
  template <class State>
  double removeTilted(std::vector<State>& particles, SplitEngine& engine, bool walking);
  template <class State>
  void refreshOutside(const State& state, std::size_t i);
  // Under odds: particle i's classes and R set afresh from its state; y into it, x out of it.
  template <class State>
  void placeUnderOdds(const State& state, std::size_t i);
  template <class State>
  void moveIn(State& state, std::size_t i, std::int32_t y);
  template <class State>
  void moveOut(State& state, std::size_t i, std::int32_t x);
  // The walk steps of particle i under odds.
  template <class State>
  void walkUnderOdds(State& state, std::size_t i, SplitEngine& engine);
  // Whether the estimate `scale` of the current size and its term in every watched quantity are
  // negligible beside their sums so far (`total`, and the watched sums, which it adds them to).
  // `up`: the sizes go up (the ascent).
  bool negligibleHere(const WideReal& scale, const WideReal& total, bool up);

  std::int32_t variableCount_;
  DescentSettings settings_;
  DescentTarget target_;
  std::vector<CoverState> covers_;               // the particles of the satisfying side
  std::vector<NarrowCoverState> narrowCovers_;   // or these, where the formula allows
  std::vector<ClauseContainment> containments_;  // those of the failing side
  std::vector<double> weights_;
  std::vector<std::int32_t> offspring_;
  std::vector<std::int32_t> vacant_;
  WideReal whole_ = 1.0;                  // W of the whole set, Z_n
  long double exactBelow_ = 0.0L;         // R(S) below which the removal is drawn exactly
  const StopRequest* stop_ = nullptr;     // see abandonOn
  std::vector<OddsClasses> classes_;      // per particle, under odds: its draws by the odds
  std::vector<std::int32_t> completing_;  // the ascent's scratch: variables completing a clause
  std::vector<double> masses_;            // and their terms
  std::vector<long double> outsideOdds_;  // per particle, R(S), under odds
  std::vector<std::int32_t> moves_;       // per particle, moves since R(S) was summed afresh
  std::vector<WideReal> watchStep_;       // per watched quantity: 1 / rho
  std::vector<WideReal> watchRise_;       // and rho
  std::vector<WideReal> watchFactor_;     // rho^(k - n) at the current size k
  std::vector<WideReal> watchTotal_;      // the quantity's terms so far
  std::int32_t smallest_ = 0;
  std::int32_t walkedDown_ = 0;  // sizes the last root walked down, 0 before the first
  // The tilted removal: its exponent's step (-1 before a root's first).
  static constexpr std::int32_t kTiltTries = 64;  // refusals before the exact draw
  static constexpr std::int32_t kTiltSteps = 64;
  std::int32_t exponentStep_ = -1;
  std::vector<double> powers_;              // per variable r^a
  std::vector<double> gains_;               // and r^(a - 1)
  double largestGain_ = 1.0;
  bool evenGains_ = true;                   // every g the same: no rejection
  // The largest g over the smallest beyond which G, kept by adding and taking away, is not used.
  static constexpr double kTallyRange = 1e9;
  bool tallyTrusted_ = true;
  long double exactPowersBelow_ = 0.0L;     // B below which the removal is drawn exactly
  std::vector<long double> outsidePowers_;  // per particle, B(S)
  std::vector<double> scratch_;
};

}  // namespace monocount
