#include "estimation/numerics/running_statistics.hpp"

namespace monocount {

void RunningStatistics::merge(const RunningStatistics& other) {
  if (other.count_ == 0) return;
  if (count_ == 0) {
    *this = other;
    return;
  }
  const WideReal before(static_cast<double>(count_));
  const WideReal added(static_cast<double>(other.count_));
  const WideReal combined = before + added;
  const WideReal delta = other.mean_ - mean_;
  count_ += other.count_;
  mean_ += delta * added / combined;
  squares_ += other.squares_ + delta * delta * before * added / combined;
}

}  // namespace monocount
