#pragma once

#include <time.h>

namespace monocount::bench {

// The CPU seconds the process has used so far, all its threads together.
inline double cpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

}  // namespace monocount::bench
