#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "estimation/exact/elimination_tree.hpp"
#include "estimation/exact/state_table.hpp"
#include "estimation/parallel/block_runner.hpp"

namespace monocount {

// Where a child's state sits in its parent's bag. The parent's bag state has bit 0 for the
// parent's variable and bit j + 1 for its j-th later variable; the child's later set lies in
// that bag, in the same (elimination) order, so the child's state is a few runs of the bag
// state's bits moved down.
class ChildProjection {
 public:
  // `positions[j]`: the bag bit of the child's j-th later variable, increasing.
  explicit ChildProjection(std::span<const std::int32_t> positions);
  std::uint64_t operator()(std::uint64_t bagState) const {
    std::uint64_t state = 0;
    for (const Run& run : runs_) state |= ((bagState >> run.from) & run.mask) << run.to;
    return state;
  }

 private:
  struct Run {
    std::uint64_t mask;
    std::int32_t from;
    std::int32_t to;
  };
  std::vector<Run> runs_;
};

// What a pass over the tree computes at one state of one node, handed to its Kind:
//   zeroAllowed  the node's variable may be false beside this state (every own clause met);
//   falseRanks   the ranks, in each child's table, of the child's part of the bag state with the
//                node's variable false (meaningless when zeroAllowed is false);
//   trueRanks    the same with the variable true.
// Children in the order of EliminationTree::children.
struct StateContext {
  std::int32_t node;
  std::size_t rank;
  bool zeroAllowed;
  std::span<const std::uint32_t> falseRanks;
  std::span<const std::uint32_t> trueRanks;
};

// One pass of the dynamic programme: the nodes in elimination order, each one's states listed
// (StateTable), and for every state the Kind computes its value from its children's values;
// then the children's tables are dropped. A Kind provides
//   struct Worker;                          scratch space of one thread
//   Worker worker();                        builds one
//   void open(node, states);                 makes room for the node's values
//   void state(Worker&, const StateContext&); computes one state's value (writes only its own)
//   void close(node);                        the node's children's values are no longer needed
// Every state's value is computed alone, the same way for any number of threads, so the
// result does not depend on them. A node of more than two blocks of `blockStates` states has
// its blocks run on `threads` threads; smaller ones run on the calling thread.
template <typename Kind>
void walkTree(const EliminationTree& tree, Kind& kind, std::int32_t threads, std::int32_t variableCount,
              std::size_t blockStates) {
  const std::int32_t n = tree.nodeCount();
  std::vector<StateTable> tables(static_cast<std::size_t>(n));
  std::vector<std::int32_t> bagBit(static_cast<std::size_t>(variableCount), -1);
  std::vector<ChildProjection> projections;
  std::vector<typename Kind::Worker> workers;
  workers.push_back(kind.worker());
  std::vector<std::int32_t> positions;
  std::vector<std::uint32_t> soloRanks;
  for (std::int32_t node = 0; node < n; ++node) {
    const auto later = tree.later(node);
    StateTable& table = tables[static_cast<std::size_t>(node)];
    table = StateTable(static_cast<std::int32_t>(later.size()), tree.inside(node), threads);
    const auto children = tree.children(node);
    bagBit[static_cast<std::size_t>(tree.variable(node))] = 0;
    for (std::size_t j = 0; j < later.size(); ++j) bagBit[static_cast<std::size_t>(later[j])] = static_cast<std::int32_t>(j + 1);
    projections.clear();
    for (const std::int32_t child : children) {
      positions.clear();
      for (const std::int32_t v : tree.later(child)) positions.push_back(bagBit[static_cast<std::size_t>(v)]);
      projections.emplace_back(positions);
    }
    bagBit[static_cast<std::size_t>(tree.variable(node))] = -1;
    for (const std::int32_t v : later) bagBit[static_cast<std::size_t>(v)] = -1;

    kind.open(node, table.size());
    const auto own = tree.own(node);
    const auto run = [&](typename Kind::Worker& worker, std::vector<std::uint32_t>& ranks, std::size_t first,
                         std::size_t end) {
      ranks.resize(2 * children.size());
      const std::span<std::uint32_t> falseRanks(ranks.data(), children.size());
      const std::span<std::uint32_t> trueRanks(ranks.data() + children.size(), children.size());
      for (std::size_t rank = first; rank < end; ++rank) {
        const std::uint64_t state = table.key(rank);
        const bool zeroAllowed =
            std::all_of(own.begin(), own.end(), [&](std::uint64_t mask) { return (state & mask) != 0; });
        const std::uint64_t bag = state << 1;
        for (std::size_t c = 0; c < children.size(); ++c) {
          const StateTable& childTable = tables[static_cast<std::size_t>(children[c])];
          if (zeroAllowed) falseRanks[c] = static_cast<std::uint32_t>(childTable.find(projections[c](bag)));
          trueRanks[c] = static_cast<std::uint32_t>(childTable.find(projections[c](bag | 1U)));
        }
        kind.state(worker, StateContext{node, rank, zeroAllowed, falseRanks, trueRanks});
      }
    };
    const std::size_t states = table.size();
    const std::size_t blockSize = std::max<std::size_t>(blockStates, 1);
    if (threads > 1 && states > 2 * blockSize) {
      while (workers.size() < static_cast<std::size_t>(threads)) workers.push_back(kind.worker());
      std::vector<std::vector<std::uint32_t>> ranks(static_cast<std::size_t>(threads));
      const auto blocks = static_cast<std::int64_t>((states + blockSize - 1) / blockSize);
      runBlocks(0, blocks, threads, [&](std::int32_t w, std::int64_t block) {
        const std::size_t first = static_cast<std::size_t>(block) * blockSize;
        run(workers[static_cast<std::size_t>(w)], ranks[static_cast<std::size_t>(w)], first,
            std::min(states, first + blockSize));
      });
    } else {
      run(workers.front(), soloRanks, 0, states);
    }
    kind.close(node);
    for (const std::int32_t child : children) tables[static_cast<std::size_t>(child)] = StateTable();
  }
}

}  // namespace monocount
