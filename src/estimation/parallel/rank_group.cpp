#include "estimation/parallel/rank_group.hpp"

#include <algorithm>
#include <stdexcept>

namespace monocount {

void SingleProcess::agree(const std::optional<std::string>& failure) {
  if (failure) throw std::runtime_error(*failure);
}

Share shareOf(std::int64_t count, int rank, int size) {
  if (count <= 0 || size <= 0) return {};
  const std::int64_t base = count / size;
  const std::int64_t extra = count % size;
  const std::int64_t first = rank * base + std::min<std::int64_t>(rank, extra);
  return {first, first + base + (rank < extra ? 1 : 0)};
}

}  // namespace monocount
