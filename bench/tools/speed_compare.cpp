// Times the product's classic estimator against the plain reference estimator on one formula,
// in one process, with the same seed, N and R, and checks that both print the same rows.
//   speed_compare FILE SEED N R [REPEATS]
// Prints one tab-separated line: file, variables, clauses, reference samples/s, product
// samples/s, ratio, agreement. Each side is run REPEATS times (default 1) and its fastest run
// counts; a run is timed in process CPU seconds from start to last row, the product's
// including the set-up it does once per run.
// Agreement is "identical" when every row prints alike. Where the plain arithmetic overflows
// (a finite estimate whose squared deviations sum to +inf, so its RE is inf or NaN) the product
// carries the RE in extended range instead; such rows count as agreeing when the estimates
// print alike, and the agreement reads "identical, k RE extended". Any other difference
// prints both rows to standard error and exits 1.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "estimation/classic/classic_sequence_estimator.hpp"
#include "problem/dimacs.hpp"
#include "problem/problem.hpp"
#include "support/reference_estimator.hpp"

namespace {

using monocount::ClassicSequenceEstimator;
using monocount::Problem;
using monocount::Replication;
using monocount::WideReal;

double cpuSeconds(std::clock_t start) { return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC; }

// One row as printed: the estimate and the relative error.
struct Row {
  std::string estimate;
  std::string relativeError;
  bool operator==(const Row&) const = default;
};

template <typename Estimate>
Row printed(const Estimate& estimate, double relativeError) {
  std::ostringstream a, b;
  a << estimate;
  b << relativeError;
  return {a.str(), b.str()};
}

std::vector<Row> productRows(const Problem& problem, std::uint32_t seed, std::int32_t n, std::int32_t r) {
  ClassicSequenceEstimator estimator(problem, seed);
  std::vector<Row> rows;
  for (std::int32_t replication = 1; replication <= r; ++replication) {
    const Replication result = estimator.estimateModelCount(n);
    rows.push_back(printed(result.estimate, result.relativeError));
  }
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || argc > 6) {
    std::cerr << "usage: speed_compare FILE SEED N R [REPEATS]\n";
    return 2;
  }
  const std::string path = argv[1];
  const auto seed = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
  const auto sampleSize = static_cast<std::int32_t>(std::atoi(argv[3]));
  const auto replications = static_cast<std::int32_t>(std::atoi(argv[4]));
  const int repeats = argc == 6 ? std::max(1, std::atoi(argv[5])) : 1;
  if (sampleSize < 1 || replications < 1) {
    std::cerr << "speed_compare: N and R must be at least 1\n";
    return 2;
  }

  Problem problem;
  try {
    problem = monocount::readDimacs(path);
  } catch (const std::exception& error) {
    std::cerr << "speed_compare: " << error.what() << "\n";
    return 2;
  }

  double referenceTime = std::numeric_limits<double>::infinity();
  double productTime = referenceTime;
  std::vector<Row> expected;
  std::vector<Row> actual;
  std::vector<bool> overflowed;  // the plain RE left the double range
  for (int repeat = 0; repeat < repeats; ++repeat) {
    std::clock_t start = std::clock();
    const auto plain = monocount::support::reference::reportRows(problem, seed, sampleSize, replications);
    referenceTime = std::min(referenceTime, cpuSeconds(start));
    expected.clear();
    overflowed.clear();
    for (const auto& row : plain) {
      expected.push_back(printed(row.estimate, row.relativeError));
      overflowed.push_back(std::isfinite(row.estimate) && !std::isfinite(row.relativeError));
    }

    start = std::clock();
    actual = productRows(problem, seed, sampleSize, replications);
    productTime = std::min(productTime, cpuSeconds(start));
    if (actual != expected) break;
  }

  int extended = 0;
  bool agree = true;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (actual[i] == expected[i]) continue;
    if (overflowed[i] && actual[i].estimate == expected[i].estimate) {
      ++extended;
      continue;
    }
    agree = false;
  }
  if (!agree) {
    std::cerr << "speed_compare: the rows differ on " << path << " (seed " << seed << ")\n";
    for (std::size_t i = 0; i < expected.size(); ++i)
      std::cerr << "  reference: " << expected[i].estimate << " " << expected[i].relativeError
                << "\n  product:   " << actual[i].estimate << " " << actual[i].relativeError << "\n";
    return 1;
  }
  const double samples = static_cast<double>(sampleSize) * static_cast<double>(replications);
  const double referenceRate = samples / referenceTime;
  const double productRate = samples / productTime;
  std::cout << path << "\t" << problem.variableCount << "\t" << problem.clauseCount << "\t"
            << static_cast<std::int64_t>(referenceRate) << "\t" << static_cast<std::int64_t>(productRate) << "\t"
            << productRate / referenceRate << "\t"
            << (extended == 0 ? std::string("identical") : "identical, " + std::to_string(extended) + " RE extended")
            << "\n";
  return 0;
}
