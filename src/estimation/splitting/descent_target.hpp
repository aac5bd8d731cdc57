#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "estimation/numerics/wide_real.hpp"
#include "estimation/splitting/minimal_clauses.hpp"
#include "problem/variable_probabilities.hpp"

namespace monocount {

// Which sets a root of the size descent goes down through. Both families are closed under
// adding, so the same descent serves both.
enum class DescentSide {
  // The satisfying sets: the true variables of the assignments that satisfy the formula
  // (CoverState). The root estimates N(k), the satisfying sets of k variables.
  satisfying,
  // The sets that hold a whole clause: the false variables of the assignments that fail it
  // (ClauseContainment). The root estimates, per size j, the failing assignments with j false
  // variables, and reports them by their number of true ones, F(n - j) (see SizeDescent::run).
  failing,
};

// What a root estimates: the side, the weight of a set, and the further weightings of the same
// sets the run asks for, which decide how far down the root must keep walking.
//
// A set S of the side weighs W(S) = prod over v in S of odds[v], and the root estimates
// Z_j = sum of W(S) over the side's sets of size j (the counts themselves when `odds` is empty,
// every odds 1). Under a law where variable v is true with chance t_v and false with f_v (both
// positive), the chance that the formula holds is (prod_v f_v) * sum_j Z_j for the satisfying
// side with odds t_v / f_v, and the chance that it fails is (prod_v t_v) * sum_j Z_j for the
// failing side with odds f_v / t_v (a set of false variables of size j has chance
// prod_{v in S} f_v prod_{v not in S} t_v); see oddsOf and baseOf.
//
// `watched` holds the odds rho of further uniform weightings: the quantities sum_j Z_j rho^j
// (with empty odds and rho = p / (1 - p), the chance that the formula holds at --probability p,
// up to the factor (1 - p)^n; on the failing side rho = (1 - p) / p). The root stops walking at
// the first size where its own sum_j Z_j and every watched quantity have become negligible.
struct DescentTarget {
  DescentSide side = DescentSide::satisfying;
  // Per variable, finite and positive; empty: all 1.
  std::vector<double> odds;
  // Each finite and positive.
  std::vector<double> watched;
  // Whether the stop rule also watches the root's own sum_j Z_j (off: only `watched`, which must
  // then not be empty).
  bool watchOwn = true;
  // On the failing side: go up from the minimal clauses (which carry the failure when it is
  // rare) instead of down from the whole set.
  bool ascend = false;
  // With `ascend`: the minimal clauses under `odds`, shared between descents; built by the
  // descent when absent.
  std::shared_ptr<const MinimalClauses> minimal;
};

// The odds of `law` on `side` for `variables` variables: t_v / f_v on the satisfying side, f_v / t_v
// on the failing one. Empty for a uniform law (its one odds is better watched: the counts serve
// every chance at once). Throws std::invalid_argument when a chance is 0 or the odds leave
// [1e-280, 1e280]: a variable that is certain must be conditioned away first.
std::vector<double> oddsOf(const VariableProbabilities& law, DescentSide side, std::int32_t variables);

// The factor that turns sum_j Z_j of that side into a chance: prod_v f_v (satisfying side) or
// prod_v t_v (failing side), in extended range.
WideReal baseOf(const VariableProbabilities& law, DescentSide side, std::int32_t variables);

// The watched odds of the chances p in `probabilities` on `side` (0 < p < 1; 0 and 1 are left
// out, their answer being exact): p / (1 - p) on the satisfying side, (1 - p) / p on the failing
// one.
std::vector<double> watchedOdds(const std::vector<double>& probabilities, DescentSide side);

}  // namespace monocount
