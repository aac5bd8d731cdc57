#include "estimation/parallel/block_sums.hpp"

#include <cstring>
#include <type_traits>

namespace monocount {

BlockSums::BlockSums(std::int64_t blocks, std::size_t width) : blocks_(blocks), width_(width), top_(0) {
  while ((std::int64_t{1} << top_) < blocks_) ++top_;
}

void BlockSums::add(std::int64_t block, std::vector<WideReal>& values) {
  std::vector<WideReal> taken;
  {
    const std::lock_guard<std::mutex> guard(lock_);
    taken.swap(values);
    if (!spare_.empty()) {
      values.swap(spare_.back());
      spare_.pop_back();
    }
    insert({0, block}, std::move(taken));
  }
  values.assign(width_, WideReal());
}

void BlockSums::insert(Node node, std::vector<WideReal> values) {
  for (;;) {
    auto [level, index] = node;
    if (level == top_) {
      waiting_[node] = std::move(values);
      return;
    }
    const std::int64_t sibling = index ^ 1;
    if ((sibling << level) >= blocks_) {  // a right child without blocks: the node goes up alone
      node = {level + 1, index >> 1};
      continue;
    }
    const auto found = waiting_.find({level, sibling});
    if (found == waiting_.end()) {
      waiting_[node] = std::move(values);
      return;
    }
    std::vector<WideReal> other = std::move(found->second);
    waiting_.erase(found);
    if (index < sibling) {  // this node is the left child
      for (std::size_t k = 0; k < width_; ++k) values[k] += other[k];
      spare_.push_back(std::move(other));
    } else {
      for (std::size_t k = 0; k < width_; ++k) other[k] += values[k];
      spare_.push_back(std::move(values));
      values = std::move(other);
    }
    node = {level + 1, index >> 1};
  }
}

void BlockSums::gather(RankGroup& ranks) {
  if (ranks.size() == 1) return;
  // Every rank's waiting nodes, in slots of a header and the vector; a rank covering a range of
  // blocks holds at most two nodes per level once its blocks are in.
  struct Header {
    std::int32_t used;
    std::int32_t level;
    std::int64_t index;
  };
  static_assert(std::is_trivially_copyable_v<WideReal>);
  const std::size_t slotBytes = sizeof(Header) + width_ * sizeof(WideReal);
  const std::int64_t slots = 2 * (static_cast<std::int64_t>(top_) + 1);
  const std::int64_t count = slots * ranks.size();
  std::vector<unsigned char> items(static_cast<std::size_t>(count) * slotBytes, 0);
  std::int64_t slot = slots * ranks.rank();
  for (const auto& [node, values] : waiting_) {
    unsigned char* at = items.data() + static_cast<std::size_t>(slot++) * slotBytes;
    const Header header{1, node.first, node.second};
    std::memcpy(at, &header, sizeof header);
    std::memcpy(at + sizeof header, values.data(), width_ * sizeof(WideReal));
  }
  ranks.share(items.data(), slotBytes, count);
  // The nodes of every rank go into the same tree, in rank order: every rank ends with the sum.
  waiting_.clear();
  for (std::int64_t i = 0; i < count; ++i) {
    const unsigned char* at = items.data() + static_cast<std::size_t>(i) * slotBytes;
    Header header{};
    std::memcpy(&header, at, sizeof header);
    if (header.used == 0) continue;
    std::vector<WideReal> values(width_);
    std::memcpy(static_cast<void*>(values.data()), at + sizeof header, width_ * sizeof(WideReal));
    insert({header.level, header.index}, std::move(values));
  }
}

std::vector<WideReal> BlockSums::total() const {
  const auto found = waiting_.find({top_, 0});
  if (found == waiting_.end() || waiting_.size() != 1) return std::vector<WideReal>(width_);
  return found->second;
}

}  // namespace monocount
