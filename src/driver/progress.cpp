#include "driver/progress.hpp"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

namespace monocount {

namespace {
constexpr double kQuietRunSeconds = 2.0;  // runs expected to be shorter never show a line
constexpr double kFirstLookSeconds = 0.5;  // the rate is judged only after this much time
constexpr auto kRefresh = std::chrono::milliseconds(250);
}  // namespace

ProgressLine::ProgressLine(std::ostream& out, bool enabled, std::int64_t replications, std::int64_t sampleSize,
                           Now now)
    : out_(out),
      now_(std::move(now)),
      enabled_(enabled && replications > 0 && sampleSize > 0),
      replications_(replications),
      sampleSize_(sampleSize),
      start_(now_()),
      lastShown_(start_) {}

void ProgressLine::update(std::int64_t finished, double samples) {
  if (!enabled_) return;
  const Clock::time_point now = now_();
  if (now - lastShown_ < kRefresh) return;
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  if (elapsed < kFirstLookSeconds) return;
  const double done = static_cast<double>(finished) * static_cast<double>(sampleSize_) + samples;
  const double total = static_cast<double>(replications_) * static_cast<double>(sampleSize_);
  if (done <= 0.0) return;
  const double rate = done / elapsed;
  const double left = (total - done) / rate;
  if (shownWidth_ == 0 && elapsed + left < kQuietRunSeconds) return;
  char text[160];
  std::snprintf(text, sizeof text, "replication %lld/%lld, %.3g samples/s, %.0f s left",
                static_cast<long long>(finished + 1 > replications_ ? replications_ : finished + 1),
                static_cast<long long>(replications_), rate, left);
  std::string line(text);
  const std::size_t width = line.size();
  if (width < shownWidth_) line.append(shownWidth_ - width, ' ');
  out_ << '\r' << line << std::flush;
  shownWidth_ = std::max(shownWidth_, width);
  lastShown_ = now;
}

void ProgressLine::finish() {
  if (shownWidth_ == 0) return;
  out_ << '\r' << std::string(shownWidth_, ' ') << '\r' << std::flush;
  shownWidth_ = 0;
}

}  // namespace monocount
