#include "estimation/exact/elimination_tree.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "support/formulas.hpp"

namespace monocount {
namespace {

TEST(EliminationTree, BagsNestInTheirParentsAndEveryClauseIsHeldOnce) {
  // A formula with repeated and nested clauses and two separate parts.
  support::Formula f = support::randomMixedCnf(20, 40, 4, 3);
  f.clauses.push_back(f.clauses.front());
  f.variables += 3;
  f.clauses.push_back({20, 21});
  f.clauses.push_back({21, 22});
  const Problem problem = support::toProblem(f);
  const EliminationOrder order = eliminationOrder(primalGraph(problem, 63), EliminationHeuristic::minFill, 63,
                                                  std::chrono::steady_clock::now() + std::chrono::hours(1));
  const EliminationTree tree(problem, order);
  std::int32_t rootVariables = 0;
  for (std::int32_t node = 0; node < tree.nodeCount(); ++node) {
    const std::int32_t parent = tree.parent(node);
    if (parent < 0) {
      rootVariables += tree.subtreeSize(node);
      continue;
    }
    EXPECT_LT(node, parent);
    // The later set lies in the parent's bag (its variable and its later set).
    for (const std::int32_t v : tree.later(node)) {
      const auto bag = tree.later(parent);
      EXPECT_TRUE(v == tree.variable(parent) || std::find(bag.begin(), bag.end(), v) != bag.end()) << node;
    }
  }
  EXPECT_EQ(rootVariables, f.variables);
  EXPECT_EQ(tree.roots().size(), 2U);
  // Each clause is enforced at its first-eliminated variable's node: an own or inside mask there
  // lies within it (the clause itself, or a smaller one that implies it).
  std::vector<std::int32_t> step(static_cast<std::size_t>(f.variables));
  for (std::int32_t node = 0; node < tree.nodeCount(); ++node) step[static_cast<std::size_t>(tree.variable(node))] = node;
  for (const auto& clause : f.clauses) {
    std::int32_t node = tree.nodeCount();
    for (const std::int32_t v : clause) node = std::min(node, step[static_cast<std::size_t>(v)]);
    std::uint64_t rest = 0;
    const auto later = tree.later(node);
    for (const std::int32_t v : clause) {
      const auto at = std::find(later.begin(), later.end(), v);
      if (at != later.end()) rest |= std::uint64_t{1} << (at - later.begin());
    }
    const auto within = [&](std::span<const std::uint64_t> masks) {
      return std::any_of(masks.begin(), masks.end(), [&](std::uint64_t m) { return (m & ~rest) == 0; });
    };
    EXPECT_TRUE(within(tree.own(node)) || within(tree.inside(node))) << node;
  }
}

}  // namespace
}  // namespace monocount
