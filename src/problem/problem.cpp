#include "problem/problem.hpp"

#include <algorithm>

namespace monocount {

bool Problem::everyClauseTouchable() const {
  std::vector<bool> touchable(static_cast<std::size_t>(std::max(clauseCount, 0)), false);
  for (const auto& list : occurrences)
    for (const std::int32_t c : list)
      if (c >= 0 && c < clauseCount) touchable[static_cast<std::size_t>(c)] = true;
  return std::find(touchable.begin(), touchable.end(), false) == touchable.end();
}

}  // namespace monocount
