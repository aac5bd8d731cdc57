#include "estimation/exact/state_table.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "estimation/parallel/block_runner.hpp"

namespace monocount {

namespace {

// The masks grouped by their lowest bit, the bit at which a listing from the top decides them.
struct MasksByLowestBit {
  std::vector<std::uint64_t> masks;
  std::vector<std::uint32_t> begin;  // masks deciding at bit b: masks[begin[b] .. begin[b + 1])

  MasksByLowestBit(std::int32_t bits, std::span<const std::uint64_t> inside) : masks(inside.begin(), inside.end()) {
    std::sort(masks.begin(), masks.end(),
              [](std::uint64_t a, std::uint64_t b) { return std::countr_zero(a) < std::countr_zero(b); });
    begin.assign(static_cast<std::size_t>(bits) + 1, 0);
    for (std::int32_t b = 0; b < bits; ++b) {
      begin[static_cast<std::size_t>(b) + 1] = static_cast<std::uint32_t>(
          std::partition_point(masks.begin(), masks.end(), [&](std::uint64_t m) { return std::countr_zero(m) <= b; }) -
          masks.begin());
    }
  }

  // True when bit b may be false in `state` (whose bits above b are set): every mask
  // deciding at b meets it.
  bool zeroAllowed(std::int32_t b, std::uint64_t state) const {
    for (std::uint32_t i = begin[static_cast<std::size_t>(b)]; i < begin[static_cast<std::size_t>(b) + 1]; ++i) {
      if ((state & masks[i]) == 0) return false;
    }
    return true;
  }
};

// Appends the states extending `state` (its bits above `bit` decided) in increasing order.
template <typename Out>
void list(const MasksByLowestBit& masks, std::int32_t bit, std::uint64_t state, Out& out) {
  if (bit < 0) {
    out.push_back(state);
    return;
  }
  if (masks.begin[static_cast<std::size_t>(bit) + 1] == 0) {
    // No mask decides at this bit or below: every completion is a state.
    const std::uint64_t completions = std::uint64_t{1} << (bit + 1);
    for (std::uint64_t low = 0; low < completions; ++low) out.push_back(state | low);
    return;
  }
  if (masks.zeroAllowed(bit, state)) list(masks, bit - 1, state, out);
  list(masks, bit - 1, state | (std::uint64_t{1} << bit), out);
}

// Listing in parallel pays from about this many states on.
constexpr double kParallelStates = 1 << 16;
// Bits fixed per block of a parallel listing.
constexpr std::int32_t kPrefixBits = 8;

}  // namespace

StateTable::StateTable(std::int32_t bits, std::span<const std::uint64_t> inside, std::int32_t threads) {
  if (bits < 0 || bits > 63) throw std::invalid_argument("StateTable: a bag has at most 63 later variables");
  const MasksByLowestBit masks(bits, inside);
  if (threads > 1 && bits > kPrefixBits && count(bits, inside, kParallelStates) > kParallelStates) {
    // Blocks: the allowed values of the top kPrefixBits bits, each listed apart, joined in order.
    const std::int32_t low = bits - kPrefixBits;
    std::vector<std::uint64_t> top;
    list(MasksByLowestBit(kPrefixBits, [&] {
           // The masks lying in the top bits, moved down; the others are decided below them.
           std::vector<std::uint64_t> shifted;
           for (const std::uint64_t m : inside) {
             if ((m >> low) << low == m) shifted.push_back(m >> low);
           }
           return shifted;
         }()),
         kPrefixBits - 1, 0, top);
    std::vector<PageVector<std::uint64_t>> parts(top.size());
    runBlocks(0, static_cast<std::int64_t>(top.size()), threads, [&](std::int32_t, std::int64_t block) {
      const auto b = static_cast<std::size_t>(block);
      list(masks, low - 1, top[b] << low, parts[b]);
    });
    std::size_t total = 0;
    for (const auto& part : parts) total += part.size();
    keys_.reserve(total);
    for (auto& part : parts) {
      keys_.insert(keys_.end(), part.begin(), part.end());
      PageVector<std::uint64_t>().swap(part);
    }
  } else {
    // Sized beforehand: a list grown by doubling would hold up to twice the room, and three
    // times while it moves.
    keys_.reserve(static_cast<std::size_t>(count(bits, inside, std::ldexp(1.0, 40))));
    list(masks, bits - 1, 0, keys_);
  }
  if (keys_.size() >= std::size_t{0xFFFFFFFFU}) throw std::length_error("StateTable: more than 2^32 - 2 states");
  const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(2 * keys_.size(), 2));
  slots_.assign(capacity, 0);
  shift_ = 64 - std::countr_zero(capacity);
  for (std::size_t rank = 0; rank < keys_.size(); ++rank) {
    std::size_t slot = static_cast<std::size_t>((keys_[rank] * kMultiplier) >> shift_);
    while (slots_[slot] != 0) slot = (slot + 1) & (capacity - 1);
    slots_[slot] = static_cast<std::uint32_t>(rank + 1);
  }
}

std::uint64_t StateTable::bytesFor(std::uint64_t states) {
  const std::uint64_t capacity = std::bit_ceil(std::max<std::uint64_t>(2 * states, 2));
  return states * sizeof(std::uint64_t) + capacity * sizeof(std::uint32_t);
}

double StateTable::count(std::int32_t bits, std::span<const std::uint64_t> inside, double limit) {
  const MasksByLowestBit masks(bits, inside);
  // needed[b]: the bits >= b of the masks deciding below b, which the states must remember.
  std::vector<std::uint64_t> needed(static_cast<std::size_t>(bits) + 1, 0);
  for (const std::uint64_t m : masks.masks) {
    const std::int32_t lowest = std::countr_zero(m);
    for (std::int32_t b = lowest + 1; b <= bits; ++b) {
      needed[static_cast<std::size_t>(b)] |= m & ~((std::uint64_t{1} << b) - 1);
    }
  }
  std::vector<std::pair<std::uint64_t, double>> states{{0, 1.0}};
  std::vector<std::pair<std::uint64_t, double>> next;
  for (std::int32_t b = bits - 1; b >= 0; --b) {
    next.clear();
    const std::uint64_t keep = needed[static_cast<std::size_t>(b)];
    double prefixes = 0.0;
    for (const auto& [state, weight] : states) {
      if (masks.zeroAllowed(b, state)) {
        next.emplace_back(state & keep, weight);
        prefixes += weight;
      }
      next.emplace_back((state | (std::uint64_t{1} << b)) & keep, weight);
      prefixes += weight;
    }
    // Every allowed assignment of the top bits extends to a state (the rest true).
    if (prefixes > limit) return prefixes;
    // Too many distinct partial states to follow within a plan's time: the allowed prefixes
    // times every assignment of the bits below is a bound above the count.
    if (next.size() > kMostPlannedStates) return std::min(prefixes * std::ldexp(1.0, b), std::ldexp(1.0, bits));
    std::sort(next.begin(), next.end());
    states.clear();
    for (const auto& [state, weight] : next) {
      if (!states.empty() && states.back().first == state) {
        states.back().second += weight;
      } else {
        states.emplace_back(state, weight);
      }
    }
  }
  double total = 0.0;
  for (const auto& entry : states) total += entry.second;
  return total;
}

}  // namespace monocount
