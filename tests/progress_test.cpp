#include "driver/progress.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace monocount {
namespace {

// The line never appears where it does not belong: not on a non-terminal, and not for a run
// that ends before the first look at its rate.
TEST(ProgressLine, StaysSilentWhenDisabledOrQuick) {
  for (const bool enabled : {false, true}) {
    std::ostringstream out;
    {
      ProgressLine progress(out, enabled, 10, 1000);
      for (int replication = 0; replication < 10; ++replication) {
        for (int samples = 0; samples <= 1000; samples += 100) progress.update(replication, samples);
      }
      progress.finish();
    }
    EXPECT_EQ(out.str(), "") << enabled;
  }
}

TEST(ProgressLine, EmptyRunsNeverShowALine) {
  std::ostringstream out;
  ProgressLine none(out, true, 0, 1000);
  none.update(0, 0);
  ProgressLine nothing(out, true, 5, 0);
  nothing.update(3, 0);
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace monocount
