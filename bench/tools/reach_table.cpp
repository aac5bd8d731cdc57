// Crude's reach check over many seeds, against the exact count: how often it fires, and how
// far the pooled estimate lies from the truth.
//   reach_table header
//     The table's header lines.
//   reach_table row EXPECTED SEEDS N R FAMILY WORDS...
//     One Markdown row for a formula of the accuracy benchmark (accuracy_formulas.hpp). For
//     every seed s = 1 .. SEEDS it runs what `monocount --seed s --N N --R R` runs (the
//     classic crude sequence) and pools the replications as the tool does (RunPool): whether
//     the count's warning fires, the share of the count it expects the run to miss
//     (unreachedShare), the error of the pooled estimate against the exact count, the pooled
//     relative error the run reports (each as median and range), and how many of the pooled
//     95 % intervals exclude the truth (none of these two with R = 1). EXPECTED ("fires" or
//     "silent") is printed as given, with a mark when fewer than 9 in 10 seeds agree.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "accuracy_formulas.hpp"
#include "estimation/estimator.hpp"
#include "estimation/pooled/reach_check.hpp"
#include "estimation/pooled/run_pool.hpp"

namespace {

using namespace monocount;

std::string format(const char* pattern, double value) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

// "median (low to high)" of `values`, each written with `pattern`.
std::string medianAndRange(std::vector<double> values, const char* pattern) {
  std::sort(values.begin(), values.end());
  const std::size_t m = values.size();
  const double median = m % 2 == 1 ? values[m / 2] : (values[m / 2 - 1] + values[m / 2]) / 2;
  return format(pattern, median) + " (" + format(pattern, values.front()) + " to " + format(pattern, values.back()) + ")";
}

std::string row(const std::string& expected, int seeds, std::int32_t sampleSize, int replications,
                const std::vector<std::string>& words) {
  const support::Formula formula = bench::formulaFromWords(words);
  const long double exact = support::log10Of(bench::exactCountFromWords(words, formula));
  const Problem problem = support::toProblem(formula);
  int fired = 0;
  int excluded = 0;
  int intervals = 0;
  std::vector<double> shares;
  std::vector<double> errors;
  std::vector<double> relativeErrors;
  for (int seed = 1; seed <= seeds; ++seed) {
    Estimator estimator(problem, {.method = Method::crude, .seed = static_cast<std::uint32_t>(seed)});
    RunPool pool(problem, {});
    CoverLengthCounts lengths;
    for (int r = 0; r < replications; ++r) {
      const Replication replication = estimator.estimateModelCount(sampleSize);
      pool.add(replication);
      lengths.add(replication.coverLengths);
    }
    const PooledRun run = pool.result();
    fired += run.countDoubt == Doubt::likelyTooLow;
    shares.push_back(100.0 * unreachedShare(lengths, problem.variableCount));
    errors.push_back(100.0 * static_cast<double>(std::pow(10.0L, run.count.mean.log10Abs() - exact) - 1.0L));
    if (run.count.low && run.count.high) {  // none for R = 1
      ++intervals;
      relativeErrors.push_back(100.0 * run.count.relativeError.value_or(0.0));
      excluded += exact < run.count.low->log10Abs() || exact > run.count.high->log10Abs();
    }
  }
  const std::string name = words[0] == "grid"        ? "grid " + words[1] + " x " + words[2]
                           : words[0] == "hypercube" ? "hypercube Q" + words[1]
                                                     : "random 3-CNF " + words[1] + "/" + words[2] + " (seed " + words[3] + ")";
  const int agreeing = expected == "fires" ? fired : seeds - fired;
  return "| " + name + " | " + std::to_string(problem.variableCount) + " | " + std::to_string(sampleSize) + " x " +
         std::to_string(replications) + " | " + expected + " | " + std::to_string(fired) + " of " +
         std::to_string(seeds) + (10 * agreeing < 9 * seeds ? " (!)" : "") + " | " +
         medianAndRange(shares, "%.1f") + " | " + medianAndRange(errors, "%+.1f") + " | " +
         (intervals > 0 ? medianAndRange(relativeErrors, "%.1f") : std::string("n/a")) + " | " +
         (intervals > 0 ? std::to_string(excluded) + " of " + std::to_string(intervals) : std::string("n/a")) + " |";
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "header") {
      std::cout << "| formula | n | N x R | expected | fired | unreached share % | error of the pooled estimate % "
                   "| its RE % | truth outside its 95 % interval |\n"
                   "|---|---:|---|---|---|---|---|---|---:|\n";
      return 0;
    }
    if (args.size() < 7 || args[0] != "row" || (args[1] != "fires" && args[1] != "silent")) {
      throw std::invalid_argument("usage: reach_table header | row fires|silent SEEDS N R FAMILY WORDS...");
    }
    const std::vector<std::string> words(args.begin() + 5, args.end());
    std::cout << row(args[1], std::stoi(args[2]), static_cast<std::int32_t>(std::stol(args[3])), std::stoi(args[4]), words)
              << '\n';
  } catch (const std::exception& error) {
    std::cerr << "reach_table: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
