#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace monocount {

// The splitting states keep a set of variables as an order of all of them (the members first,
// then the rest) beside every variable's place in that order: membership is a comparison of a
// place with the set's size, and a uniform member or non-member is one draw of a position.
//
// Puts variable v at position `to`, the variable standing there taking v's old place. O(1).
inline void placeAt(std::vector<std::int32_t>& order, std::vector<std::int32_t>& place, std::int32_t v, std::size_t to) {
  const auto from = static_cast<std::size_t>(place[static_cast<std::size_t>(v)]);
  const std::int32_t other = order[to];
  order[from] = other;
  place[static_cast<std::size_t>(other)] = static_cast<std::int32_t>(from);
  order[to] = v;
  place[static_cast<std::size_t>(v)] = static_cast<std::int32_t>(to);
}

}  // namespace monocount
