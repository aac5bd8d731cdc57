#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "problem/problem.hpp"

namespace monocount {

// The primal graph of a formula: variable u is adjacent to v (u != v) when some clause holds
// both. adjacency[v] lists v's neighbours in increasing order. Empty (and `tooWide` set) when
// some clause holds more than maxWidth + 1 distinct variables: every tree decomposition then
// has a bag wider than maxWidth, and the graph is not worth building.
struct PrimalGraph {
  std::vector<std::vector<std::int32_t>> adjacency;
  bool tooWide = false;
};
PrimalGraph primalGraph(const Problem& problem, std::int32_t maxWidth);

// How the next variable to eliminate is chosen: the fewest neighbours (min-degree), or the
// fewest pairs of neighbours not yet adjacent (min-fill), ties going to the fewest neighbours,
// then to the lowest variable index; or the reverse of a maximum cardinality search (the
// variables are numbered, from the last to be eliminated, each time the one with the most
// neighbours numbered already, ties going to the lowest index), which sweeps a grid numbered
// row by row along its rows, its frontier a path of the grid, where the other two let fronts grow
// from every corner.
enum class EliminationHeuristic { minDegree, minFill, maxCardinality };
std::string_view heuristicName(EliminationHeuristic heuristic);

// An elimination order of the primal graph and what it implies: eliminating a variable joins
// all its neighbours pairwise (the fill edges) and removes it. The neighbours a variable has
// when it is eliminated (all eliminated later) are its "later" set; the variable with its later
// set is a bag of a tree decomposition, so the width is the largest later set's size. Every
// clause lies in the bag of its first-eliminated variable.
struct EliminationOrder {
  EliminationHeuristic heuristic = EliminationHeuristic::minDegree;
  // The variables, first eliminated first (all of them when complete).
  std::vector<std::int32_t> order;
  // The later set of the variable eliminated at step i is laterVariables[laterBegin[i] ..
  // laterBegin[i + 1]), in increasing order of their steps.
  std::vector<std::uint32_t> laterBegin{0};
  std::vector<std::int32_t> laterVariables;
  std::int32_t width = 0;
  // False when the elimination stopped early: a variable had more than maxWidth neighbours when
  // its turn came (width is then that number), or the deadline passed (width so far).
  bool complete = false;
  bool outOfTime = false;

  std::span<const std::int32_t> later(std::size_t step) const {
    return {laterVariables.data() + laterBegin[step], laterVariables.data() + laterBegin[step + 1]};
  }
};

// Eliminates every vertex of `graph` by the heuristic. Stops early (complete = false) when the
// width would pass maxWidth or at the deadline (checked every few hundred steps). Cost: about
// the sum over the steps of (later set size)^2 list operations for min-degree and maximum
// cardinality; min-fill also recounts the fill of every vertex within two steps of the one
// eliminated.
EliminationOrder eliminationOrder(const PrimalGraph& graph, EliminationHeuristic heuristic, std::int32_t maxWidth,
                                  std::chrono::steady_clock::time_point deadline);

}  // namespace monocount
