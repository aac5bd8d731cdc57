#include "problem/problem.hpp"

namespace monocount {

bool Problem::everyClauseTouchable() const {
  for (std::size_t c = 0; c + 1 < clauseBegin.size(); ++c)
    if (clauseBegin[c] == clauseBegin[c + 1]) return false;
  return true;
}

}  // namespace monocount
