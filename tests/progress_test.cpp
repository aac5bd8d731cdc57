#include "driver/progress.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

namespace monocount {
namespace {

using namespace std::chrono_literals;

// A run of `replications` x `sampleSize` samples reported every 100 samples, each report
// `step` later than the one before on a clock the test moves; returns what the line wrote.
std::string runWith(bool enabled, std::int64_t replications, std::int64_t sampleSize,
                    std::chrono::milliseconds step) {
  std::ostringstream out;
  ProgressLine::Clock::time_point now{};
  {
    ProgressLine progress(out, enabled, replications, sampleSize, [&] { return now; });
    for (std::int64_t replication = 0; replication < replications; ++replication) {
      for (std::int64_t samples = 100; samples <= sampleSize; samples += 100) {
        now += step;
        progress.update(replication, samples);
      }
      progress.finish();
    }
  }
  return out.str();
}

TEST(ProgressLine, ShowsOnlyOnATerminalForRunsLongerThanTwoSeconds) {
  const struct {
    const char* name;
    bool enabled;
    std::int64_t replications, sampleSize;
    std::chrono::milliseconds step;
    const char* first;  // the first line written, "" for none
  } cases[] = {
      {"long run, no terminal", false, 10, 1000, 1000ms, ""},
      {"a second in all", true, 10, 1000, 10ms, ""},
      {"no replications", true, 0, 1000, 1000ms, ""},
      {"no samples", true, 5, 0, 1000ms, ""},
      // The first report comes after a second, at 100 samples/s with 9900 samples to go.
      {"long run", true, 10, 1000, 1000ms, "\rreplication 1/10, 100 samples/s, 99 s left"},
  };
  for (const auto& c : cases) {
    const std::string written = runWith(c.enabled, c.replications, c.sampleSize, c.step);
    const std::string first(c.first);
    if (first.empty()) {
      EXPECT_EQ(written, "") << c.name;
      continue;
    }
    EXPECT_EQ(written.substr(0, first.size()), first) << c.name;
    // The last line is overwritten with blanks, and the cursor is back at the start.
    const std::size_t blanks = written.rfind('\r', written.size() - 2) + 1;
    EXPECT_EQ(written.back(), '\r') << c.name;
    EXPECT_EQ(written.find_first_not_of(' ', blanks), written.size() - 1) << c.name;
  }
}

}  // namespace
}  // namespace monocount
