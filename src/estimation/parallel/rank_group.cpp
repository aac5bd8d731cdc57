#include "estimation/parallel/rank_group.hpp"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace monocount {

void throwFailure(const std::string& message) {
  if (message == std::bad_alloc().what()) throw std::bad_alloc();
  throw std::runtime_error(message);
}

void SingleProcess::agree(const std::optional<std::string>& failure) {
  if (failure) throwFailure(*failure);
}

bool onAnyRank(RankGroup& ranks, bool holds) {
  std::uint64_t count = holds ? 1 : 0;
  ranks.sum({&count, 1});
  return count != 0;
}

Share shareOf(std::int64_t count, int rank, int size) {
  if (count <= 0 || size <= 0) return {};
  const std::int64_t base = count / size;
  const std::int64_t extra = count % size;
  const std::int64_t first = rank * base + std::min<std::int64_t>(rank, extra);
  return {first, first + base + (rank < extra ? 1 : 0)};
}

}  // namespace monocount
