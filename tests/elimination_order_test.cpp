#include "estimation/exact/elimination_order.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "support/formulas.hpp"

namespace monocount {
namespace {

TEST(EliminationOrder, WidthOfEachHeuristicOnKnownShapes) {
  using H = EliminationHeuristic;
  struct Case {
    std::string name;
    support::Formula formula;
    H heuristic;
    std::int32_t width;  // -1: given up beyond the maximum width of 6, or out of time
    bool pastDeadline = false;
  };
  const Case cases[] = {
      {"path", support::pathVertexCover(50), H::minDegree, 1},
      {"path", support::pathVertexCover(50), H::minFill, 1},
      {"path", support::pathVertexCover(50), H::maxCardinality, 1},
      {"cycle", support::cycleVertexCover(30), H::minFill, 2},
      {"tree", support::randomTreeVertexCover(200, 4), H::minDegree, 1},
      {"tree", support::randomTreeVertexCover(200, 4), H::maxCardinality, 1},
      {"K6", support::completeGraphVertexCover(6), H::minFill, 5},
      {"grid 6 x 5 swept by rows", support::gridVertexCover(6, 5), H::maxCardinality, 6},
      {"grid 9 x 9", support::gridVertexCover(9, 9), H::minDegree, -1},
      {"no clauses", {4, {}}, H::minFill, 0},
      {"path out of time", support::pathVertexCover(1000), H::minDegree, -1, true},
  };
  const auto now = std::chrono::steady_clock::now();
  for (const Case& c : cases) {
    const Problem problem = support::toProblem(c.formula);
    const EliminationOrder order =
        eliminationOrder(primalGraph(problem, 6), c.heuristic, 6, c.pastDeadline ? now : now + std::chrono::hours(1));
    EXPECT_EQ(order.complete ? order.width : -1, c.width) << c.name << " " << heuristicName(c.heuristic);
    EXPECT_EQ(order.outOfTime, c.pastDeadline) << c.name;
    if (order.complete) {
      EXPECT_EQ(order.order.size(), static_cast<std::size_t>(c.formula.variables)) << c.name;
    }
  }
}

}  // namespace
}  // namespace monocount
