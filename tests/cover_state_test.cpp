#include "estimation/splitting/cover_state.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "estimation/randomness/split_engine.hpp"
#include "support/formulas.hpp"

namespace monocount {
namespace {

using support::Formula;

bool satisfies(const Formula& f, const std::vector<bool>& in) {
  return std::all_of(f.clauses.begin(), f.clauses.end(), [&](const auto& clause) {
    return std::any_of(clause.begin(), clause.end(), [&](std::int32_t v) { return in[static_cast<std::size_t>(v)]; });
  });
}

// The state's members, removable members and outside variables against the definitions.
template <class State>
void expectConsistent(const Formula& f, const State& state, const std::string& where) {
  std::vector<bool> in(static_cast<std::size_t>(f.variables));
  for (std::int32_t v = 0; v < f.variables; ++v) in[static_cast<std::size_t>(v)] = state.contains(v);
  ASSERT_EQ(std::count(in.begin(), in.end(), true), state.size()) << where;
  ASSERT_TRUE(satisfies(f, in)) << where;
  std::vector<std::int32_t> removable;
  for (std::int32_t v = 0; v < f.variables; ++v) {
    if (!in[static_cast<std::size_t>(v)]) continue;
    in[static_cast<std::size_t>(v)] = false;
    if (satisfies(f, in)) removable.push_back(v);
    in[static_cast<std::size_t>(v)] = true;
  }
  std::vector<std::int32_t> listed;
  for (std::int32_t i = 0; i < state.removableCount(); ++i) listed.push_back(state.removableAt(i));
  std::sort(listed.begin(), listed.end());
  ASSERT_EQ(listed, removable) << where;
  for (std::int32_t i = 0; i < f.variables - state.size(); ++i) ASSERT_FALSE(state.contains(state.outsideAt(i))) << where;
}

// Both widths of the state: every test below runs on each.
template <class State>
class CoverStates : public ::testing::Test {};
using Widths = ::testing::Types<CoverState, NarrowCoverState>;
TYPED_TEST_SUITE(CoverStates, Widths);

TYPED_TEST(CoverStates, KeepsItsRemovableMembersThroughAnyMoves) {
  using State = TypeParam;
  // Repeated variables in a clause, unit clauses, variables in no clause, long clauses.
  const Formula formulas[] = {
      {6, {{0, 0, 1}, {1, 2, 2, 2}, {3}, {2, 4}}},
      support::gridVertexCover(4, 3),
      support::randomMixedCnf(15, 25, 6, 3),
  };
  for (const Formula& f : formulas) {
    const Problem problem = support::toProblem(f);
    const OccurrenceTable table(problem);
    State state(table);
    SplitEngine engine(7);
    for (int descent = 0; descent < 20; ++descent) {
      state.fill();
      expectConsistent(f, state, "whole");
      while (state.removableCount() > 0) {
        state.remove(state.removableAt(static_cast<std::int32_t>(engine.below(static_cast<std::uint32_t>(state.removableCount())))));
        expectConsistent(f, state, "after a removal");
        state.add(state.outsideAt(static_cast<std::int32_t>(engine.below(static_cast<std::uint32_t>(f.variables - state.size())))));
        expectConsistent(f, state, "after an addition");
        state.remove(state.removableAt(static_cast<std::int32_t>(engine.below(static_cast<std::uint32_t>(state.removableCount())))));
        if (state.removableCount() > 0) {
          state.remove(state.removableAt(static_cast<std::int32_t>(engine.below(static_cast<std::uint32_t>(state.removableCount())))));
        }
        State copy(table);
        copy = state;
        expectConsistent(f, copy, "a copy");
      }
    }
  }
}

TEST(CoverState, NarrowHoldsWhatFitsSixteenBits) {
  // Too many variables, or a variable in too many clauses, for a 16-bit mark.
  const Formula wide{40000, {{0, 39999}}};
  Formula busy{3, {}};
  for (int c = 0; c < 40000; ++c) busy.clauses.push_back({0, 1 + c % 2});
  for (const auto& [f, fits] : {std::pair{support::gridVertexCover(7, 6), true}, {wide, false}, {busy, false}}) {
    const Problem problem = support::toProblem(f);
    EXPECT_EQ(NarrowCoverState::holds(OccurrenceTable(problem)), fits);
  }
}

TEST(CoverState, WalkVisitsEverySatisfyingSetOfItsSizeEquallyOften) {
  // The walk (add a uniform outside variable, remove a uniform removable member) on the 5-cycle's
  // vertex covers of size 3: five of them, each a fifth of the visits.
  const Formula cycle = support::cycleVertexCover(5);
  const Problem problem = support::toProblem(cycle);
  const OccurrenceTable table(problem);
  CoverState state(table);
  SplitEngine engine(11);
  state.remove(0);
  state.remove(2);
  std::map<std::vector<bool>, int> visits;
  const int steps = 50000;
  for (int step = 0; step < steps; ++step) {
    state.add(state.outsideAt(static_cast<std::int32_t>(engine.below(static_cast<std::uint32_t>(5 - state.size())))));
    state.remove(state.removableAt(static_cast<std::int32_t>(engine.below(static_cast<std::uint32_t>(state.removableCount())))));
    std::vector<bool> in(5);
    for (std::int32_t v = 0; v < 5; ++v) in[static_cast<std::size_t>(v)] = state.contains(v);
    ++visits[in];
  }
  ASSERT_EQ(visits.size(), 5u);
  for (const auto& [set, count] : visits) EXPECT_NEAR(count, steps / 5, 600);
}

}  // namespace
}  // namespace monocount
