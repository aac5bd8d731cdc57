#include "estimation/exact/elimination_order.hpp"

#include <algorithm>
#include <queue>
#include <tuple>

namespace monocount {

namespace {

using Clock = std::chrono::steady_clock;

// A vertex's place in the queue: (score, degree, vertex, version); entries whose version is
// not the vertex's current one are stale and skipped.
using Entry = std::tuple<std::int64_t, std::int32_t, std::int32_t, std::uint32_t>;

// Scores beyond any real fill: a vertex with more than maxWidth neighbours is chosen only when
// nothing else is left, and then the elimination stops.
constexpr std::int64_t kUnaffordable = std::int64_t{1} << 62;

class Eliminator {
 public:
  Eliminator(const PrimalGraph& graph, EliminationHeuristic heuristic, std::int32_t maxWidth)
      : adjacency_(graph.adjacency),
        heuristic_(heuristic),
        maxWidth_(maxWidth),
        version_(adjacency_.size(), 0),
        mark_(adjacency_.size(), 0) {}

  EliminationOrder run(Clock::time_point deadline) {
    EliminationOrder result;
    result.heuristic = heuristic_;
    const auto n = static_cast<std::int32_t>(adjacency_.size());
    std::vector<bool> gone(adjacency_.size(), false);
    std::vector<std::int32_t> fixed;
    if (heuristic_ == EliminationHeuristic::maxCardinality) {
      fixed = maximumCardinalityOrder();
    } else {
      for (std::int32_t v = 0; v < n; ++v) push(v);
    }
    std::vector<std::int32_t> merged;
    while (fixed.empty() ? !queue_.empty() : result.order.size() < fixed.size()) {
      std::int32_t v = 0;
      if (fixed.empty()) {
        const auto [score, degree, vertex, version] = queue_.top();
        queue_.pop();
        if (gone[at(vertex)] || version != version_[at(vertex)]) continue;
        v = vertex;
      } else {
        v = fixed[result.order.size()];
      }
      const auto degree = static_cast<std::int32_t>(adjacency_[at(v)].size());
      if (degree > maxWidth_) {
        result.width = degree;
        return result;
      }
      if ((result.order.size() & 255U) == 255U && Clock::now() > deadline) {
        result.outOfTime = true;
        return result;
      }
      // v's neighbours become pairwise adjacent, and v leaves the graph.
      const std::vector<std::int32_t> neighbours = std::move(adjacency_[at(v)]);
      adjacency_[at(v)] = {};
      gone[at(v)] = true;
      for (const std::int32_t a : neighbours) {
        std::vector<std::int32_t>& list = adjacency_[at(a)];
        merged.clear();
        std::set_union(list.begin(), list.end(), neighbours.begin(), neighbours.end(), std::back_inserter(merged));
        std::erase_if(merged, [&](std::int32_t u) { return u == a || u == v; });
        list.swap(merged);
      }
      result.order.push_back(v);
      result.laterVariables.insert(result.laterVariables.end(), neighbours.begin(), neighbours.end());
      result.laterBegin.push_back(static_cast<std::uint32_t>(result.laterVariables.size()));
      result.width = std::max(result.width, degree);
      if (fixed.empty()) rescore(neighbours);
    }
    result.complete = true;
    // Later sets in order of elimination.
    std::vector<std::int32_t> step(adjacency_.size());
    for (std::size_t i = 0; i < result.order.size(); ++i) step[at(result.order[i])] = static_cast<std::int32_t>(i);
    for (std::size_t i = 0; i < result.order.size(); ++i) {
      std::sort(result.laterVariables.begin() + result.laterBegin[i], result.laterVariables.begin() + result.laterBegin[i + 1],
                [&](std::int32_t a, std::int32_t b) { return step[at(a)] < step[at(b)]; });
    }
    return result;
  }

 private:
  static std::size_t at(std::int32_t v) { return static_cast<std::size_t>(v); }

  // The reverse of a maximum cardinality search: numbered, from the last eliminated, the vertex
  // with the most numbered neighbours (the lowest index on ties; a new part of the graph starts
  // at its lowest unnumbered vertex).
  std::vector<std::int32_t> maximumCardinalityOrder() const {
    const auto n = static_cast<std::int32_t>(adjacency_.size());
    std::vector<std::int32_t> numbered(adjacency_.size(), 0);  // numbered neighbours; -1 once numbered itself
    // (-numbered neighbours, vertex): the top is the next to number.
    std::priority_queue<std::pair<std::int32_t, std::int32_t>, std::vector<std::pair<std::int32_t, std::int32_t>>,
                        std::greater<>>
        queue;
    for (std::int32_t v = 0; v < n; ++v) queue.emplace(0, v);
    std::vector<std::int32_t> order;
    order.reserve(adjacency_.size());
    while (!queue.empty()) {
      const auto [negative, v] = queue.top();
      queue.pop();
      if (numbered[at(v)] < 0 || -negative != numbered[at(v)]) continue;
      numbered[at(v)] = -1;
      order.push_back(v);
      for (const std::int32_t u : adjacency_[at(v)]) {
        if (numbered[at(u)] >= 0) queue.emplace(-++numbered[at(u)], u);
      }
    }
    std::reverse(order.begin(), order.end());
    return order;
  }

  void push(std::int32_t v) {
    const auto degree = static_cast<std::int32_t>(adjacency_[at(v)].size());
    const std::int64_t score = heuristic_ == EliminationHeuristic::minDegree ? degree : fill(v);
    queue_.emplace(score, degree, v, ++version_[at(v)]);
  }

  // Pairs of v's neighbours that are not adjacent.
  std::int64_t fill(std::int32_t v) {
    const std::vector<std::int32_t>& list = adjacency_[at(v)];
    const auto degree = static_cast<std::int64_t>(list.size());
    if (degree > maxWidth_) return kUnaffordable;
    ++stamp_;
    for (const std::int32_t a : list) mark_[at(a)] = stamp_;
    std::int64_t adjacentPairs = 0;  // counted from both ends
    for (const std::int32_t a : list) {
      const std::vector<std::int32_t>& other = adjacency_[at(a)];
      if (static_cast<std::int64_t>(other.size()) > 8 * degree) {
        for (const std::int32_t b : list) adjacentPairs += std::binary_search(other.begin(), other.end(), b) ? 1 : 0;
      } else {
        for (const std::int32_t b : other) adjacentPairs += mark_[at(b)] == stamp_ ? 1 : 0;
      }
    }
    return (degree * (degree - 1) - adjacentPairs) / 2;
  }

  // After an elimination: the neighbours' degrees changed, and for min-fill the fill of every
  // vertex next to a neighbour too.
  void rescore(const std::vector<std::int32_t>& neighbours) {
    if (heuristic_ == EliminationHeuristic::minDegree) {
      for (const std::int32_t a : neighbours) push(a);
      return;
    }
    touched_.clear();
    ++touchStamp_;
    const auto touch = [&](std::int32_t u) {
      if (touchMark_.size() < adjacency_.size()) touchMark_.resize(adjacency_.size(), 0);
      if (touchMark_[at(u)] == touchStamp_) return;
      touchMark_[at(u)] = touchStamp_;
      touched_.push_back(u);
    };
    for (const std::int32_t a : neighbours) {
      touch(a);
      for (const std::int32_t b : adjacency_[at(a)]) touch(b);
    }
    for (const std::int32_t u : touched_) push(u);
  }

  std::vector<std::vector<std::int32_t>> adjacency_;
  EliminationHeuristic heuristic_;
  std::int32_t maxWidth_;
  std::vector<std::uint32_t> version_;
  std::vector<std::uint32_t> mark_;
  std::uint32_t stamp_ = 0;
  std::vector<std::uint32_t> touchMark_;
  std::uint32_t touchStamp_ = 0;
  std::vector<std::int32_t> touched_;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue_;
};

}  // namespace

PrimalGraph primalGraph(const Problem& problem, std::int32_t maxWidth) {
  PrimalGraph graph;
  std::vector<std::int32_t> members;
  std::vector<std::vector<std::int32_t>> adjacency(static_cast<std::size_t>(problem.variableCount));
  for (std::int32_t c = 0; c < problem.clauseCount; ++c) {
    const auto clause = problem.clause(c);
    members.assign(clause.begin(), clause.end());
    std::sort(members.begin(), members.end());
    members.erase(std::unique(members.begin(), members.end()), members.end());
    if (static_cast<std::int64_t>(members.size()) > static_cast<std::int64_t>(maxWidth) + 1) {
      graph.tooWide = true;
      return graph;
    }
    for (const std::int32_t u : members) {
      for (const std::int32_t v : members) {
        if (u != v) adjacency[static_cast<std::size_t>(u)].push_back(v);
      }
    }
  }
  for (std::vector<std::int32_t>& list : adjacency) {
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
  }
  graph.adjacency = std::move(adjacency);
  return graph;
}

std::string_view heuristicName(EliminationHeuristic heuristic) {
  switch (heuristic) {
    case EliminationHeuristic::minDegree:
      return "min-degree";
    case EliminationHeuristic::minFill:
      return "min-fill";
    case EliminationHeuristic::maxCardinality:
      return "max-cardinality";
  }
  return "";
}

EliminationOrder eliminationOrder(const PrimalGraph& graph, EliminationHeuristic heuristic, std::int32_t maxWidth,
                                  Clock::time_point deadline) {
  return Eliminator(graph, heuristic, maxWidth).run(deadline);
}

}  // namespace monocount
