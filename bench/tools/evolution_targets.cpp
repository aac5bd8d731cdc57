// The crude estimator under a chance per variable (the evolution process) on a network's cut
// formula, one core:
//   evolution_targets FILE [--N N] [--R R] [--seed S] [--link-seed S] [--honesty R] [--calibrate N]
// FILE is a cut formula of at most 32 variables (examples/dodecahedron.cnf: the dodecahedron's
// 30 links between two vertices at distance 5, one clause per minimal cut); its own weights
// are ignored. Every variable is false (the link fails) with chance q; for each case the tool
// prints the failure probability's reference, the pooled answer of R replications of N samples
// (default 10 of 30,000 samples), its deviation from the reference in % and in pooled standard
// errors, and the CPU seconds of the R replications together (and of the enumeration):
//   q = 0.1, 1e-3 and 1e-6, with the published failure probabilities of the dodecahedron
//       (2.8796012534e-3, 2.0060180892e-9, 2.0000060000e-18) beside the enumerated ones;
//   a q of its own per link, log-uniform between 1e-4 and 1e-2, drawn by std::mt19937_64
//       from --link-seed (default 1).
// References: every one of the 2^n states of the links enumerated (see failureByEnumeration).
// Then the honesty check at q = 1e-6 (unless --honesty 0): over 40 replications (or the number
// given), the standard deviation of the estimates over the mean reported standard error, and
// the share of replications whose +-2 RE interval holds the reference.
// --calibrate N instead runs one replication of N samples per case and prints the CPU
// microseconds per sample and the relative variance of a sample of each side (RE^2 N).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "estimation/classic/evolution_estimator.hpp"
#include "problem/dimacs.hpp"
#include "problem/problem.hpp"
#include "problem/variable_probabilities.hpp"
#include "support/cpu_time.hpp"

namespace {

using namespace monocount;

// The chance that some clause has all its variables false, variable v false with chance
// q[v], by enumerating the 2^n states (n <= 32): the variables are split into a high half H
// and a low half. For each state h of the high half, the clauses whose high variables are all
// false in h leave their low parts as a family; a low state fails exactly when its false set
// holds one of them, so the family is closed upwards over the 2^|low| low states (one bit
// each, 64 to a word) and the chances of the low states in it summed. Sums in long double,
// of non-negative terms only.
long double failureByEnumeration(const Problem& problem, const std::vector<double>& q) {
  const int n = problem.variableCount;
  if (n > 32) throw std::invalid_argument("the enumeration takes at most 32 variables");
  const int lowBits = std::max(6, n / 2);
  const int highBits = n - lowBits;
  const std::uint64_t lowMask = (std::uint64_t{1} << lowBits) - 1;
  std::vector<std::uint64_t> clauses;
  for (std::int32_t c = 0; c < problem.clauseCount; ++c) {
    std::uint64_t mask = 0;
    for (const std::int32_t v : problem.clause(c)) mask |= std::uint64_t{1} << v;
    clauses.push_back(mask);
  }
  // The chance of each low and each high state (bit set: that variable false).
  const auto chances = [&](int first, int bits) {
    std::vector<long double> table(std::size_t{1} << bits, 1.0L);
    for (std::size_t state = 0; state < table.size(); ++state) {
      for (int b = 0; b < bits; ++b) {
        const double fails = q[static_cast<std::size_t>(first + b)];
        table[state] *= (state >> b & 1) != 0 ? fails : 1.0 - fails;
      }
    }
    return table;
  };
  const std::vector<long double> low = chances(0, lowBits);
  const std::vector<long double> high = chances(lowBits, highBits);
  const std::size_t words = (std::size_t{1} << lowBits) / 64;
  std::vector<std::uint64_t> closed(words);
  long double total = 0.0L;
  for (std::uint64_t h = 0; h < high.size(); ++h) {
    std::fill(closed.begin(), closed.end(), 0);
    bool any = false;
    for (const std::uint64_t clause : clauses) {
      if (((clause >> lowBits) & ~h) != 0) continue;  // some high variable of it is true in h
      const std::uint64_t part = clause & lowMask;
      closed[part / 64] |= std::uint64_t{1} << (part % 64);
      any = true;
    }
    if (!any) continue;
    // Upward closure: a state whose bit b is set also fails if the state without b does.
    for (int b = 0; b < 6; ++b) {
      const int step = 1 << b;
      std::uint64_t without = 0;  // the words' positions whose bit b is clear
      for (int i = 0; i < 64; ++i)
        if ((i & step) == 0) without |= std::uint64_t{1} << i;
      for (std::uint64_t& word : closed) word |= (word & without) << step;
    }
    for (int b = 6; b < lowBits; ++b) {
      const std::size_t step = std::size_t{1} << (b - 6);
      for (std::size_t i = 0; i < words; ++i)
        if ((i & step) != 0) closed[i] |= closed[i ^ step];
    }
    long double sum = 0.0L;
    for (std::size_t i = 0; i < words; ++i) {
      for (std::uint64_t word = closed[i]; word != 0; word &= word - 1) {
        sum += low[i * 64 + static_cast<std::size_t>(__builtin_ctzll(word))];
      }
    }
    total += high[h] * sum;
  }
  return total;
}

VariableProbabilities lawOf(const std::vector<double>& q) {
  std::vector<double> truth;
  for (const double fails : q) truth.push_back(1.0 - fails);
  return VariableProbabilities::perVariable(truth, q);
}

struct Row {
  double fails;
  double relativeError;
};

// R replications of N samples on one core; the CPU seconds of all of them.
std::vector<Row> replicate(const Problem& problem, const std::vector<double>& q, std::uint32_t seed, int samples,
                           int replications, double& cpu) {
  EvolutionEstimator estimator(problem, lawOf(q), seed, Parallelism{.threads = 1});
  std::vector<Row> rows;
  const double start = monocount::bench::cpuSeconds();
  for (int r = 0; r < replications; ++r) {
    const Replication row = estimator.estimateModelCount(samples);
    rows.push_back({row.complement.toDouble(), row.complementRelativeError});
  }
  cpu = monocount::bench::cpuSeconds() - start;
  return rows;
}

struct Case {
  std::string name;
  std::vector<double> q;
  double published;  // 0: none
};

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc < 2) throw std::invalid_argument("usage: evolution_targets FILE [--N N] [--R R] [--seed S] ...");
    const Problem problem = readWeightedDimacs(argv[1]).problem;
    int samples = 30000;
    int replications = 10;
    std::uint32_t seed = 1;
    std::uint64_t linkSeed = 1;
    int honesty = 40;
    int calibrate = 0;
    for (int i = 2; i + 1 < argc; i += 2) {
      const std::string option = argv[i];
      const std::string value = argv[i + 1];
      if (option == "--N") samples = std::stoi(value);
      else if (option == "--R") replications = std::stoi(value);
      else if (option == "--seed") seed = static_cast<std::uint32_t>(std::stoul(value));
      else if (option == "--link-seed") linkSeed = std::stoull(value);
      else if (option == "--honesty") honesty = std::stoi(value);
      else if (option == "--calibrate") calibrate = std::stoi(value);
      else throw std::invalid_argument("unknown option " + option);
    }
    const auto n = static_cast<std::size_t>(problem.variableCount);
    std::vector<Case> cases = {{"q = 0.1", std::vector<double>(n, 0.1), 2.8796012534e-3},
                               {"q = 1e-3", std::vector<double>(n, 1e-3), 2.0060180892e-9},
                               {"q = 1e-6", std::vector<double>(n, 1e-6), 2.0000060000e-18}};
    std::mt19937_64 links(linkSeed);
    Case own{"q per link", {}, 0.0};
    for (std::size_t v = 0; v < n; ++v) {
      const double u = static_cast<double>(links() >> 11) * 0x1.0p-53;
      own.q.push_back(std::pow(10.0, -4.0 + 2.0 * u));
    }
    cases.push_back(own);

    std::printf("%d variables, %d clauses; one core\n", problem.variableCount, problem.clauseCount);
    if (calibrate > 0) {
      std::printf("%-12s %12s %14s %14s\n", "case", "us/sample", "holds RE^2 N", "fails RE^2 N");
      for (const Case& c : cases) {
        EvolutionEstimator estimator(problem, lawOf(c.q), seed, Parallelism{.threads = 1});
        const double start = monocount::bench::cpuSeconds();
        const Replication row = estimator.estimateModelCount(calibrate);
        const double cpu = monocount::bench::cpuSeconds() - start;
        const double N = static_cast<double>(row.samples);
        std::printf("%-12s %12.2f %14.4g %14.4g\n", c.name.c_str(), 1e6 * cpu / N,
                    row.relativeError * row.relativeError * N,
                    row.complementRelativeError * row.complementRelativeError * N);
      }
      return 0;
    }

    std::printf("%-11s %17s %17s %17s %9s %7s %7s %6s %8s\n", "case", "reference", "published", "pooled fails",
                "pooled RE", "dev %", "dev/SE", "CPU s", "enum. s");
    double truthAtMicro = 0.0;
    for (const Case& c : cases) {
      const double enumerationStart = monocount::bench::cpuSeconds();
      const double enumeration = static_cast<double>(failureByEnumeration(problem, c.q));
      const double enumerationSeconds = monocount::bench::cpuSeconds() - enumerationStart;
      if (c.name == "q = 1e-6") truthAtMicro = enumeration;
      double cpu = 0.0;
      const std::vector<Row> rows = replicate(problem, c.q, seed, samples, replications, cpu);
      double mean = 0.0;
      for (const Row& row : rows) mean += row.fails;
      mean /= static_cast<double>(rows.size());
      double squares = 0.0;
      for (const Row& row : rows) squares += (row.fails - mean) * (row.fails - mean);
      const double standardError = std::sqrt(squares / static_cast<double>(rows.size() - 1)) /
                                   std::sqrt(static_cast<double>(rows.size()));
      char published[32] = "-";
      if (c.published > 0.0) std::snprintf(published, sizeof published, "%.10e", c.published);
      std::printf("%-11s %17.10e %17s %17.10e %9.4f %7.3f %7.2f %6.2f %8.2f\n", c.name.c_str(), enumeration,
                  published, mean, standardError / mean, 100.0 * (mean - enumeration) / enumeration,
                  (mean - enumeration) / standardError, cpu, enumerationSeconds);
    }

    if (honesty > 0) {
      double cpu = 0.0;
      const std::vector<Row> rows = replicate(problem, cases[2].q, seed + 1, samples, honesty, cpu);
      double mean = 0.0;
      double meanRelativeError = 0.0;
      int covered = 0;
      for (const Row& row : rows) {
        mean += row.fails;
        meanRelativeError += row.relativeError;
        if (std::fabs(row.fails - truthAtMicro) <= 2.0 * row.relativeError * row.fails) ++covered;
      }
      mean /= static_cast<double>(rows.size());
      meanRelativeError /= static_cast<double>(rows.size());
      double squares = 0.0;
      for (const Row& row : rows) squares += (row.fails - mean) * (row.fails - mean);
      const double spread = std::sqrt(squares / static_cast<double>(rows.size() - 1)) / mean;
      std::printf("honesty at q = 1e-6, %d replications of %d: sd / mean RE = %.3f, truth within +-2 RE in %.1f %%"
                  " (CPU %.1f s)\n",
                  honesty, samples, spread / meanRelativeError,
                  100.0 * covered / static_cast<double>(rows.size()), cpu);
    }
  } catch (const std::exception& error) {
    std::cerr << "evolution_targets: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
