#pragma once

// The network of the two-sided benchmarks: the dodecahedron (20 vertices, 30 links) with two
// terminals at distance 5, its cut formula (one clause per minimal terminal-separating link cut,
// the cut's links; the network works exactly when every minimal cut keeps a working link, that
// is when a set of working links satisfies the formula), and a chance of failure per link.

#include <cmath>
#include <cstdint>
#include <queue>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include "support/formulas.hpp"

namespace monocount::bench {

struct Network {
  std::int32_t vertices = 0;
  std::vector<std::pair<std::int32_t, std::int32_t>> links;  // link i is variable i
  std::int32_t source = 0;
  std::int32_t sink = 0;
};

// Distances from `from` in the network's graph.
inline std::vector<std::int32_t> distancesFrom(const Network& network, std::int32_t from) {
  std::vector<std::vector<std::int32_t>> next(static_cast<std::size_t>(network.vertices));
  for (const auto& [u, v] : network.links) {
    next[static_cast<std::size_t>(u)].push_back(v);
    next[static_cast<std::size_t>(v)].push_back(u);
  }
  std::vector<std::int32_t> distance(next.size(), -1);
  std::queue<std::int32_t> queue;
  distance[static_cast<std::size_t>(from)] = 0;
  queue.push(from);
  while (!queue.empty()) {
    const std::int32_t u = queue.front();
    queue.pop();
    for (const std::int32_t v : next[static_cast<std::size_t>(u)]) {
      if (distance[static_cast<std::size_t>(v)] >= 0) continue;
      distance[static_cast<std::size_t>(v)] = distance[static_cast<std::size_t>(u)] + 1;
      queue.push(v);
    }
  }
  return distance;
}

// The dodecahedron: the outer pentagon 0..4, the ring 5..14 (vertex 5 + 2i joined to outer i),
// the inner pentagon 15..19 (15 + i joined to ring vertex 6 + 2i); terminals vertex 0 and the one
// vertex at distance 5 from it.
inline Network dodecahedron() {
  Network network{20, {}, 0, 0};
  for (std::int32_t i = 0; i < 5; ++i) network.links.emplace_back(i, (i + 1) % 5);
  for (std::int32_t i = 0; i < 5; ++i) network.links.emplace_back(i, 5 + 2 * i);
  for (std::int32_t j = 0; j < 10; ++j) network.links.emplace_back(5 + j, 5 + (j + 1) % 10);
  for (std::int32_t i = 0; i < 5; ++i) network.links.emplace_back(6 + 2 * i, 15 + i);
  for (std::int32_t i = 0; i < 5; ++i) network.links.emplace_back(15 + i, 15 + (i + 1) % 5);
  const std::vector<std::int32_t> distance = distancesFrom(network, 0);
  for (std::int32_t v = 0; v < network.vertices; ++v) {
    if (distance[static_cast<std::size_t>(v)] == 5) network.sink = v;
  }
  return network;
}

// Whether the vertices in `side` (a bit mask) induce a connected subgraph.
inline bool connectedWithin(const Network& network, std::uint32_t side) {
  if (side == 0) return false;
  std::uint32_t reached = side & (0u - side);  // its lowest vertex
  for (bool grew = true; grew;) {
    grew = false;
    for (const auto& [u, v] : network.links) {
      const std::uint32_t a = 1u << u;
      const std::uint32_t b = 1u << v;
      if ((side & a) == 0 || (side & b) == 0) continue;
      if (((reached & a) != 0) != ((reached & b) != 0)) {
        reached |= a | b;
        grew = true;
      }
    }
  }
  return reached == side;
}

// One clause per minimal source-sink link cut: the links between a vertex set X holding the
// source and not the sink and its complement, both sides connected (at most 32 vertices).
inline support::Formula minimalCutFormula(const Network& network) {
  if (network.vertices > 32) throw std::invalid_argument("minimalCutFormula: at most 32 vertices");
  const std::uint32_t all = network.vertices == 32 ? ~0u : (1u << network.vertices) - 1;
  support::Formula formula{static_cast<std::int32_t>(network.links.size()), {}};
  const std::uint32_t source = 1u << network.source;
  const std::uint32_t sink = 1u << network.sink;
  // X = the source plus any subset of the other vertices but the sink.
  const std::uint32_t free = all & ~source & ~sink;
  for (std::uint32_t sub = free;; sub = (sub - 1) & free) {
    const std::uint32_t side = sub | source;
    if (connectedWithin(network, side) && connectedWithin(network, all & ~side)) {
      std::vector<std::int32_t> clause;
      for (std::size_t i = 0; i < network.links.size(); ++i) {
        const auto& [u, v] = network.links[i];
        if (((side >> u) & 1u) != ((side >> v) & 1u)) clause.push_back(static_cast<std::int32_t>(i));
      }
      formula.clauses.push_back(std::move(clause));
    }
    if (sub == 0) break;
  }
  return formula;
}

// A chance of failure per link, log-uniform in [low, high], from std::mt19937_64(seed) (the top
// 53 bits of each output as a uniform in [0, 1)): the same on every platform.
inline std::vector<double> logUniformChances(std::size_t count, double low, double high, std::uint64_t seed) {
  std::mt19937_64 engine(seed);
  std::vector<double> chances;
  for (std::size_t i = 0; i < count; ++i) {
    const double u = static_cast<double>(engine() >> 11) * 0x1.0p-53;
    chances.push_back(low * std::pow(high / low, u));
  }
  return chances;
}

}  // namespace monocount::bench
