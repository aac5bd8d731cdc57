#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>

namespace monocount {

// A progress line for long runs: replications done, samples per second and the time left,
// rewritten in place on a terminal and erased when the run ends. It stays silent when
// disabled (standard error is no terminal) and for runs expected to end within two seconds.
class ProgressLine {
 public:
  ProgressLine(std::ostream& out, bool enabled, std::int64_t replications, std::int64_t sampleSize);
  ~ProgressLine() { finish(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // `finished` replications are complete and the current one has drawn `samples`.
  void update(std::int64_t finished, std::int64_t samples);
  // Erases the line if one was shown.
  void finish();

 private:
  using Clock = std::chrono::steady_clock;
  std::ostream& out_;
  bool enabled_;
  std::int64_t replications_;
  std::int64_t sampleSize_;
  Clock::time_point start_;
  Clock::time_point lastShown_;
  std::size_t shownWidth_ = 0;
};

}  // namespace monocount
