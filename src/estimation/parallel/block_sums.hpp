#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "estimation/numerics/wide_real.hpp"
#include "estimation/parallel/rank_group.hpp"

namespace monocount {

// Element-wise sums of one vector per block, the same to the last digit whichever worker or
// rank computed which block, and in whatever order the blocks finished: rounded sums are not
// associative, so the vectors are always added along one tree fixed by the block count. Node
// (level j, index i) is the sum of blocks i * 2^j .. (i + 1) * 2^j - 1 (those below the block
// count); it is its left child plus its right one, or its left child alone when the right one
// holds no block. A node is formed as soon as both children are in, so at most a few vectors
// per level wait at any time.
class BlockSums {
 public:
  BlockSums(std::int64_t blocks, std::size_t width);

  // Block `block`'s vector (`width` entries). Safe to call from several threads at once; takes
  // the vector's storage and leaves `values` holding `width` zeros.
  void add(std::int64_t block, std::vector<WideReal>& values);

  // Once every rank has added its own blocks: exchanges the partial sums, so that every rank
  // holds the sum of all blocks. Collective.
  void gather(RankGroup& ranks);

  // The sum of all blocks (zeros for no block), once every block is in.
  std::vector<WideReal> total() const;

 private:
  using Node = std::pair<std::int32_t, std::int64_t>;  // (level, index)
  void insert(Node node, std::vector<WideReal> values);  // with the lock held

  std::int64_t blocks_;
  std::size_t width_;
  std::int32_t top_;  // the level of the one node that covers every block
  std::mutex lock_;
  std::map<Node, std::vector<WideReal>> waiting_;
  std::vector<std::vector<WideReal>> spare_;
};

}  // namespace monocount
