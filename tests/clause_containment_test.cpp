#include "estimation/splitting/clause_containment.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/formulas.hpp"

namespace monocount {
namespace {

using support::Formula;

bool holdsAClause(const Formula& f, const std::vector<bool>& in) {
  return std::any_of(f.clauses.begin(), f.clauses.end(), [&](const auto& clause) {
    return std::all_of(clause.begin(), clause.end(), [&](std::int32_t v) { return in[static_cast<std::size_t>(v)]; });
  });
}

// The state's members, removable members and outside variables against the definitions.
void expectConsistent(const Formula& f, const ClauseContainment& state, const std::string& where) {
  std::vector<bool> in(static_cast<std::size_t>(f.variables));
  for (std::int32_t v = 0; v < f.variables; ++v) in[static_cast<std::size_t>(v)] = state.contains(v);
  ASSERT_EQ(std::count(in.begin(), in.end(), true), state.size()) << where;
  ASSERT_TRUE(holdsAClause(f, in)) << where;
  std::int32_t removable = 0;
  for (std::int32_t v = 0; v < f.variables; ++v) {
    bool expected = false;
    if (in[static_cast<std::size_t>(v)]) {
      in[static_cast<std::size_t>(v)] = false;
      expected = holdsAClause(f, in);
      in[static_cast<std::size_t>(v)] = true;
    }
    ASSERT_EQ(state.removable(v), expected) << where << ", variable " << v;
    removable += expected;
  }
  ASSERT_EQ(state.removableCount(), removable) << where;
  for (std::int32_t i = 0; i < f.variables - state.size(); ++i) ASSERT_FALSE(state.contains(state.outsideAt(i))) << where;
  // The completing variables: those outside whose addition holds a new clause through them.
  std::vector<std::int32_t> completing;
  state.completing(completing);
  std::sort(completing.begin(), completing.end());
  std::vector<std::int32_t> expected;
  for (std::int32_t y = 0; y < f.variables; ++y) {
    if (in[static_cast<std::size_t>(y)]) continue;
    in[static_cast<std::size_t>(y)] = true;
    const bool completes = std::any_of(f.clauses.begin(), f.clauses.end(), [&](const auto& clause) {
      return std::find(clause.begin(), clause.end(), y) != clause.end() &&
             std::all_of(clause.begin(), clause.end(), [&](std::int32_t v) { return in[static_cast<std::size_t>(v)]; });
    });
    in[static_cast<std::size_t>(y)] = false;
    if (completes) expected.push_back(y);
  }
  ASSERT_EQ(completing, expected) << where;
}

TEST(ClauseContainment, KeepsItsRemovableMembersThroughAnyMoves) {
  // Repeated variables in a clause, unit clauses, variables in no clause, clauses inside others,
  // long overlapping clauses (as a network's cuts are).
  const Formula formulas[] = {
      {7, {{0, 0, 1}, {1, 2, 2, 2}, {3}, {2, 4}, {2, 4, 1}}},
      support::gridVertexCover(4, 3),
      support::randomMixedCnf(15, 25, 6, 3),
      support::randomMonotoneCnf(12, 60, 7, 5),
  };
  for (const Formula& f : formulas) {
    const Problem problem = support::toProblem(f);
    const OccurrenceTable table(problem);
    ClauseContainment state(problem, table);
    SplitEngine engine(7);
    for (int descent = 0; descent < 20; ++descent) {
      // From the whole set, or (the ascent's start) from one clause's variables.
      if (descent % 2 == 0) {
        state.fill();
      } else {
        state.assign(static_cast<std::int32_t>(engine.below(static_cast<std::uint32_t>(f.clauses.size()))));
      }
      expectConsistent(f, state, descent % 2 == 0 ? "whole" : "a clause");
      // Down to a minimal set, with a walk step (add, remove) between removals; from a clause
      // (minimal or not) first up a few sizes.
      for (int up = 0; descent % 2 == 1 && up < 3 && state.size() < f.variables; ++up) {
        state.add(state.outsideAt(static_cast<std::int32_t>(engine.below(static_cast<std::uint32_t>(f.variables - state.size())))));
        expectConsistent(f, state, "going up");
      }
      while (state.removableCount() > 0) {
        state.remove(state.drawRemovable(engine));
        expectConsistent(f, state, "after a removal");
        state.add(state.outsideAt(static_cast<std::int32_t>(engine.below(static_cast<std::uint32_t>(f.variables - state.size())))));
        expectConsistent(f, state, "after an addition");
        state.remove(state.drawRemovable(engine));
        ClauseContainment copy(problem, table);
        copy = state;
        expectConsistent(f, copy, "a copy");
      }
    }
  }
}

}  // namespace
}  // namespace monocount
