#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>

namespace monocount {

// A progress line for long runs: replications done, samples per second and the time left,
// rewritten in place on a terminal and erased when the run ends. It stays silent when
// disabled (standard error is no terminal) and for runs expected to end within two seconds.
class ProgressLine {
 public:
  using Clock = std::chrono::steady_clock;
  // The time now; the tests hand in a clock they move by hand.
  using Now = std::function<Clock::time_point()>;

  ProgressLine(std::ostream& out, bool enabled, std::int64_t replications, std::int64_t sampleSize,
               Now now = Clock::now);
  ~ProgressLine() { finish(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // `finished` replications are complete and the current one has drawn `samples`.
  void update(std::int64_t finished, double samples);
  // Erases the line if one was shown.
  void finish();

 private:
  std::ostream& out_;
  Now now_;
  bool enabled_;
  std::int64_t replications_;
  std::int64_t sampleSize_;
  Clock::time_point start_;
  Clock::time_point lastShown_;
  std::size_t shownWidth_ = 0;
};

}  // namespace monocount
