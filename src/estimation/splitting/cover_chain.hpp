#pragma once

#include <cstdint>
#include <vector>

#include "estimation/randomness/split_engine.hpp"
#include "problem/occurrence_table.hpp"

namespace monocount {

// A variable order whose first `prefixLength` variables touch every clause, with the count of
// prefix variables in every clause. The chain moves within the orders of one prefix length
// whose prefix is a cover, and leaves the uniform distribution on them invariant.
//
// Only the set of prefix variables matters to anything here: an exchange picks a uniformly
// random prefix position and a uniformly random suffix position, and coverLength() reorders
// the prefix at random before reading the cover length. The order inside the suffix is never
// read and never needs shuffling.
//
// Requires a formula with at least one clause and no empty clause. Nothing here allocates
// after construction.
class CoverChain {
 public:
  // The order 0 .. n - 1 with the whole order as prefix (a cover, since no clause is empty).
  explicit CoverChain(const OccurrenceTable& table);

  // Makes the whole order the prefix again, keeping the order as it stands.
  void resetToWhole();

  // Becomes a copy of `source` with the prefix cut to `length`. The first `length` variables
  // of source's order must touch every clause (true when length >= the cover length that
  // source's last coverLength() returned) and length <= source's prefix length.
  void adopt(const CoverChain& source, std::int32_t length);

  // Proposes `proposals` exchanges of a uniformly random prefix variable with a uniformly
  // random suffix variable, each accepted exactly when the prefix still touches every clause.
  // Returns the number accepted. Costs the occurrences of the two variables per proposal.
  // With an empty suffix nothing is drawn.
  std::int64_t exchange(std::int64_t proposals, SplitEngine& engine);

  // Reorders the prefix uniformly at random and returns its cover length L (the length of the
  // shortest prefix that touches every clause), 1 <= L <= prefixLength. The draw runs from the
  // back: it places uniformly chosen prefix variables at positions prefixLength - 1, - 2, ...
  // as long as the variables in front still cover, so it costs prefixLength - L + 1 draws
  // rather than a whole shuffle. The positions in front of L - 1 keep an arbitrary order,
  // which no query depends on. Leaves the counts those of the whole prefix.
  std::int32_t coverLength(SplitEngine& engine);

  std::int32_t prefixLength() const { return prefixLength_; }
  const std::vector<std::int32_t>& order() const { return order_; }
  const std::vector<std::int32_t>& counts() const { return counts_; }

 private:
  void add(std::int32_t variable);
  void remove(std::int32_t variable);
  bool removable(std::int32_t variable) const;  // every clause of it holds another prefix variable

  const OccurrenceTable* table_;
  std::int32_t prefixLength_;
  std::vector<std::int32_t> order_;
  std::vector<std::int32_t> counts_;  // prefix variables in each clause
};

}  // namespace monocount
