#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "estimation/exact/elimination_order.hpp"
#include "problem/problem.hpp"

namespace monocount {

// The tree decomposition a complete elimination order gives, as the exact counter walks it.
// Node i is the variable eliminated at step i; its bag is that variable and its later set. Its
// parent is the node of the first-eliminated member of its later set (a node with an empty later
// set is a root: one per connected part of the primal graph), so every child comes before its
// parent and a node's later set lies inside its parent's bag.
//
// A state of node i is an assignment of its later set, as a bit mask: bit j set when the j-th
// member of the later set (in elimination order) is true. For the dynamic programme every node
// also holds its clauses as such masks:
//   inside  the clauses lying inside the later set: a state must meet each of them;
//   own     the clauses whose first-eliminated variable is the node's own, that variable left
//           out: the node's variable may be false in a state only if the state meets each.
// Repeated clauses and clauses that contain another one of the same bag are left out (a set
// touching the smaller touches the larger). A clause with no variable has no place here: the
// caller decides such a formula before building the tree.
class EliminationTree {
 public:
  // `order` must be complete and of `problem`'s primal graph; the problem has no empty clause.
  EliminationTree(const Problem& problem, const EliminationOrder& order);

  std::int32_t nodeCount() const { return static_cast<std::int32_t>(variable_.size()); }
  std::int32_t width() const { return width_; }
  std::int32_t variable(std::int32_t node) const { return variable_[at(node)]; }
  std::int32_t parent(std::int32_t node) const { return parent_[at(node)]; }
  // Variables eliminated at the node or below it.
  std::int32_t subtreeSize(std::int32_t node) const { return subtreeSize_[at(node)]; }
  std::span<const std::int32_t> later(std::int32_t node) const { return slice(laterVariables_, laterBegin_, node); }
  std::span<const std::int32_t> children(std::int32_t node) const { return slice(children_, childBegin_, node); }
  std::span<const std::uint64_t> inside(std::int32_t node) const { return slice(inside_, insideBegin_, node); }
  std::span<const std::uint64_t> own(std::int32_t node) const { return slice(own_, ownBegin_, node); }
  // The nodes with no parent, in increasing order.
  const std::vector<std::int32_t>& roots() const { return roots_; }
  // The bytes the tree holds.
  std::uint64_t bytes() const;

 private:
  static std::size_t at(std::int32_t node) { return static_cast<std::size_t>(node); }
  template <typename T>
  static std::span<const T> slice(const std::vector<T>& items, const std::vector<std::uint32_t>& begin, std::int32_t node) {
    return {items.data() + begin[at(node)], items.data() + begin[at(node) + 1]};
  }

  std::int32_t width_ = 0;
  std::vector<std::int32_t> variable_;
  std::vector<std::int32_t> parent_;
  std::vector<std::int32_t> subtreeSize_;
  std::vector<std::uint32_t> laterBegin_;
  std::vector<std::int32_t> laterVariables_;
  std::vector<std::uint32_t> childBegin_;
  std::vector<std::int32_t> children_;
  std::vector<std::uint32_t> insideBegin_;
  std::vector<std::uint64_t> inside_;
  std::vector<std::uint32_t> ownBegin_;
  std::vector<std::uint64_t> own_;
  std::vector<std::int32_t> roots_;
};

}  // namespace monocount
