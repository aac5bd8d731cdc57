#include "estimation/exact/tree_walk.hpp"

namespace monocount {

ChildProjection::ChildProjection(std::span<const std::int32_t> positions) {
  for (std::size_t j = 0; j < positions.size();) {
    std::size_t end = j + 1;
    while (end < positions.size() && positions[end] == positions[end - 1] + 1) ++end;
    const auto length = static_cast<std::int32_t>(end - j);
    runs_.push_back(Run{length == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << length) - 1, positions[j],
                        static_cast<std::int32_t>(j)});
    j = end;
  }
}

}  // namespace monocount
