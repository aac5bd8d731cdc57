#pragma once

#include <atomic>
#include <chrono>

namespace monocount {

// Why sampling stopped before a replication had all its samples.
enum class StopReason : int { none = 0, timeLimit = 1, interrupted = 2 };

// A request to stop sampling, shared by the driver (which sets a deadline, or asks on a signal)
// and the estimators' workers, which look at it between blocks of samples (never inside the
// sampling loop). One lock-free atomic: a signal handler may call interrupt().
class StopRequest {
 public:
  using Clock = std::chrono::steady_clock;

  // Sampling is due to stop at `deadline` (wall time).
  void setDeadline(Clock::time_point deadline) {
    deadline_ = deadline;
    hasDeadline_ = true;
  }

  // Stop at once, from any thread or a signal handler; the run keeps what it finished.
  void interrupt() noexcept { reason_.store(static_cast<int>(StopReason::interrupted), std::memory_order_relaxed); }

  // Whether sampling should stop now: interrupted, or the deadline has passed (which from then
  // on is the reason). Reads the clock when there is a deadline.
  bool due() noexcept {
    if (reason() != StopReason::none) return true;
    if (!hasDeadline_ || Clock::now() < deadline_) return false;
    int none = static_cast<int>(StopReason::none);
    reason_.compare_exchange_strong(none, static_cast<int>(StopReason::timeLimit), std::memory_order_relaxed);
    return true;
  }

  StopReason reason() const noexcept { return static_cast<StopReason>(reason_.load(std::memory_order_relaxed)); }

 private:
  static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only touch a lock-free atomic");
  std::atomic<int> reason_{static_cast<int>(StopReason::none)};
  bool hasDeadline_ = false;
  Clock::time_point deadline_{};
};

}  // namespace monocount
