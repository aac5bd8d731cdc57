// The speed of block streams on worker threads, in one process, on one formula:
//   parallel_speed FILE crude|split N R SEED [REPEATS]
// Measures, for N x R samples (roots, for split):
//   single  today's single stream on one core: crude, the classic estimator; split, the same
//           roots scored one after another from the estimator's own single generator
//   K       block streams on K = 1, 2, 4 and 8 worker threads (beyond the cores, the threads
//           take turns: samples per CPU second per worker stays flat if nothing is shared)
// and prints one line each: wall seconds, CPU seconds (all threads), samples per CPU second
// and per wall second, each the best of REPEATS runs (default 3). Every run is preceded by
// one untimed replication, which builds the workers' state.
// Then the figures the targets speak of: the cost of block streams on one core (CPU time of
// K = 1 over the single stream's), the wall-time speedup of 2 threads over 1, and whether the
// rows printed for every K are identical (exit status 1 if not). The two sides draw different
// random numbers, so for split, whose roots vary widely in cost, that figure carries the noise
// of the roots drawn. The fixed cost of the blocks (seeding their generators), timed on its own
// and given as a share of the K = 1 time, is the overhead without that noise.

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "estimation/classic/block_stream_estimator.hpp"
#include "estimation/classic/classic_sequence_estimator.hpp"
#include "estimation/randomness/derived_streams.hpp"
#include "estimation/splitting/size_descent.hpp"
#include "estimation/splitting/splitting_estimator.hpp"
#include "problem/occurrence_table.hpp"
#include "problem/dimacs.hpp"
#include "problem/problem.hpp"

namespace {

using namespace monocount;

double seconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

struct Timing {
  double wall = std::numeric_limits<double>::infinity();
  double cpu = std::numeric_limits<double>::infinity();
  std::vector<std::string> rows;
};

// Times `replicate` R times after one untimed call; keeps the fastest wall and CPU times.
template <typename Replicate>
void timeRuns(Timing& timing, std::int32_t replications, Replicate&& replicate) {
  replicate();
  const double wall = seconds(CLOCK_MONOTONIC);
  const double cpu = seconds(CLOCK_PROCESS_CPUTIME_ID);
  std::vector<std::string> rows;
  for (std::int32_t r = 0; r < replications; ++r) rows.push_back(replicate());
  timing.wall = std::min(timing.wall, seconds(CLOCK_MONOTONIC) - wall);
  timing.cpu = std::min(timing.cpu, seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu);
  timing.rows = rows;
}

std::string printed(const Replication& replication) {
  std::ostringstream out;
  out << replication.estimate << " " << replication.relativeError;
  return out.str();
}

// Today's single stream on one core.
Timing singleStream(const Problem& problem, bool split, std::int32_t n, std::int32_t r, std::uint32_t seed,
                    int repeats) {
  Timing timing;
  for (int repeat = 0; repeat < repeats; ++repeat) {
    if (split) {
      const OccurrenceTable table(problem);
      SizeDescent descent(problem, table, {});
      SplitEngine engine(seed);
      timeRuns(timing, r, [&] {
        WideReal sum;
        for (std::int32_t root = 0; root < n; ++root) sum += descent.run(engine);
        return toString(sum);
      });
    } else {
      ClassicSequenceEstimator estimator(problem, seed);
      timeRuns(timing, r, [&] { return printed(estimator.estimateModelCount(n)); });
    }
  }
  return timing;
}

Timing blockStreams(const Problem& problem, bool split, std::int32_t n, std::int32_t r, std::uint32_t seed,
                    int repeats, std::int32_t threads) {
  Timing timing;
  const Parallelism parallelism{.threads = threads};
  for (int repeat = 0; repeat < repeats; ++repeat) {
    if (split) {
      SplittingEstimator estimator(problem, seed, {}, parallelism);
      timeRuns(timing, r, [&] { return printed(estimator.estimateModelCount(n)); });
    } else {
      BlockStreamEstimator estimator(problem, seed, parallelism);
      timeRuns(timing, r, [&] { return printed(estimator.estimateModelCount(n)); });
    }
  }
  return timing;
}


// CPU seconds of what R replications spend on their blocks beyond the samples themselves.
double fixedBlockCost(const Problem& problem, bool split, std::int32_t n, std::int32_t r, std::uint32_t seed) {
  std::int64_t perBlock = BlockStreamEstimator::samplesPerBlock(problem.variableCount);
  if (split) perBlock = SplittingEstimator::rootsPerBlock({}, problem.variableCount);
  const std::int64_t blocks = (n + perBlock - 1) / perBlock * r;
  std::uint64_t sink = 0;
  const double cpu = seconds(CLOCK_PROCESS_CPUTIME_ID);
  for (std::int64_t block = 0; block < blocks; ++block) {
    const StreamKey key{.seed = seed, .use = StreamUse::samples, .replication = 0, .block = static_cast<std::uint64_t>(block)};
    if (split) {
      SplitEngine engine = derivedEngine(key);
      sink += engine.below(1000);
    } else {
      sink += derivedSource(key).next();
    }
  }
  const double spent = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu;
  if (sink == 42) std::printf(" ");  // keeps the loop
  return spent;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6 || argc > 7) {
    std::cerr << "usage: parallel_speed FILE crude|split N R SEED [REPEATS]\n";
    return 2;
  }
  const std::string method = argv[2];
  const auto n = static_cast<std::int32_t>(std::atoi(argv[3]));
  const auto r = static_cast<std::int32_t>(std::atoi(argv[4]));
  const auto seed = static_cast<std::uint32_t>(std::strtoul(argv[5], nullptr, 10));
  const int repeats = argc == 7 ? std::max(1, std::atoi(argv[6])) : 3;
  if ((method != "crude" && method != "split") || n < 1 || r < 1) {
    std::cerr << "parallel_speed: the method is crude or split, N and R at least 1\n";
    return 2;
  }
  Problem problem;
  try {
    problem = readDimacs(argv[1]);
  } catch (const std::exception& error) {
    std::cerr << "parallel_speed: " << error.what() << "\n";
    return 2;
  }
  const bool split = method == "split";
  const double samples = static_cast<double>(n) * r;

  std::printf("%s, %s, N %d x R %d, seed %u, best of %d\n", argv[1], method.c_str(), n, r, seed, repeats);
  std::printf("  %-8s %8s %8s %14s %14s\n", "workers", "wall s", "CPU s", "per CPU s", "per wall s");
  const Timing single = singleStream(problem, split, n, r, seed, repeats);
  std::printf("  %-8s %8.3f %8.3f %14.0f %14.0f\n", "single", single.wall, single.cpu, samples / single.cpu,
              samples / single.wall);
  std::vector<Timing> timings;
  for (const std::int32_t threads : {1, 2, 4, 8}) {
    timings.push_back(blockStreams(problem, split, n, r, seed, repeats, threads));
    const Timing& timing = timings.back();
    std::printf("  %-8d %8.3f %8.3f %14.0f %14.0f\n", threads, timing.wall, timing.cpu, samples / timing.cpu,
                samples / timing.wall);
  }
  const double fixed = fixedBlockCost(problem, split, n, r, seed);
  bool same = true;
  for (const Timing& timing : timings) same = same && timing.rows == timings.front().rows;
  std::printf("  one core: K = 1 over single %+.1f %% CPU time, fixed cost of the blocks %.2f %% of it; "
              "wall speedup of 2 threads over 1: %.2f; rows for K = 1, 2, 4, 8: %s\n",
              100.0 * (timings[0].cpu / single.cpu - 1.0), 100.0 * fixed / timings[0].cpu,
              timings[0].wall / timings[1].wall, same ? "identical" : "DIFFERENT");
  return same ? 0 : 1;
}
