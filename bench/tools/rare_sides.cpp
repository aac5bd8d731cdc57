// Split on the rare side of a chance: the chance that a formula holds, or that it fails, where
// that side is tiny, against references that do not come from the estimator. One core unless
// --threads.
//
//   rare_sides [--replications R] [--roots N] [--seed S] [--settings PARTICLES:WALK] [--threads T]
//              [--honesty] [--each] CASE...
//   rare_sides --reference CASE...
//
// For each case, R replications of N roots (N and the settings per case unless given; R = 10, or
// 40 with --honesty):
//   accuracy (default): the pooled estimate of the rare side (the mean of the R replications),
//     the reference, the relative error and the error in pooled standard errors (the spread of
//     the R estimates), the pooled RE, the spread of ln(estimate) over the replications (with
//     N = 1 that of one root) and the CPU seconds of all R replications;
//   --honesty: the standard deviation of the R estimates over the mean RE the replications
//     reported (honest: about 1) and the share of replications whose +-2 RE interval holds the
//     reference (honest: about 95 %), for the cases whose replications report an RE.
// --reference prints each case's reference and how it was derived. --threads runs the roots of a
// replication on T threads: the same digits, and CPU seconds summed over the threads. --each
// prints every replication's estimate over the reference and its RE, one line each (with
// --roots 1, every root's: the shape of a root's estimate, and what a replication of N of them
// would report, by resampling).
//
// Cases:
//   dodeca-0.1, dodeca-1e-3, dodeca-1e-6   the dodecahedron network (30 links, 7,376 minimal
//       cuts, terminals at distance 5), every link failing with chance q: the failure
//       probability, from the failing roots under the law (every link its own odds, all equal
//       here); references: bench/tools/dodecahedron_exact, which reproduces the published values
//       (2.8796012534e-3, 2.0060180892e-9, 2.0000060000e-18) to their last digit;
//   dodeca-links   the same with link i failing with chance logUniformChances(30, 1e-4, 1e-2, 1)[i];
//       reference: `dodecahedron_exact links 1`;
//   path-holds     vertex covers of the 10,000-vertex path, vertex i true with chance
//       0.3 + 0.4 u_i (u_i uniform, std::mt19937_64(19)): the chance that the formula holds
//       (about 1e-900), from the satisfying roots under the law;
//   path-fails     the same path, vertex i false with chance logUniformChances(10000, 1e-7, 1e-5, 23)[i]:
//       the chance that it fails (about 1e-7), from the failing roots; both path references from
//       the two-state recursion over the path (covers ending in a true or a false vertex), in
//       extended range and without subtraction;
//   grid-0.3       vertex covers of the 60 x 60 grid, every vertex true with chance 0.3 (the
//       --probability of an unweighted run): the chance that the formula holds, from the
//       satisfying roots' N(k), the descent watching p = 0.3;
//   grid-fails     the same at p = 1 - 1e-5: the chance that it fails, from the failing roots'
//       F(k); both grid references from the hard-square weight at activity (1 - p) / p, fitted as
//       ln Z = f w h + s (w + h) + c through exactly computed strips and squares
//       (support::fitSquareGrid), P = p^n Z.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "estimation/pooled/probability.hpp"
#include "estimation/splitting/splitting_estimator.hpp"
#include "network_formulas.hpp"
#include "support/exact_counts.hpp"
#include "support/formulas.hpp"
#include "support/cpu_time.hpp"

namespace {

using namespace monocount;

// What a case runs and against what.
struct Setup {
  Problem problem;
  // Under a law with a chance per variable (the replications report the rare side with its RE),
  // or at one chance p from the counts by size (N(k) or F(k); no RE per replication).
  std::optional<VariableProbabilities> law;
  double p = 0.5;
  bool rareFails = false;
  WideReal reference;
  std::string derivation;
};

struct Case {
  std::function<Setup()> build;
  std::int32_t roots;  // per replication, by default
  // Particles and walk steps per root, by default: chosen by CPU seconds times the relative
  // variance of a root (--roots 1 --replications 8 and the sd ln column): on the 30 links of the
  // dodecahedron 4 walk steps do, near the hard-square critical density of the 60 x 60 grid at
  // p = 0.3 and under the path's spread of odds the walk needs far more than 16. Absent: what
  // the tool chooses for the formula (DescentSettings::forVariables).
  std::optional<DescentSettings> settings;
};

VariableProbabilities failingWith(const std::vector<double>& fail) {
  std::vector<double> works;
  for (const double q : fail) works.push_back(1.0 - q);
  return VariableProbabilities::perVariable(works, fail);
}

Setup dodecahedronSetup(const std::vector<double>& fail, WideReal reference, std::string derivation) {
  const bench::Network network = bench::dodecahedron();
  return {support::toProblem(bench::minimalCutFormula(network)), failingWith(fail), 0.5, true, reference,
          std::move(derivation)};
}

// The two-state recursion over the path: with A and B the chance that vertices 0..i cover
// their edges and vertex i is true (A) or false (B), and D the chance that some edge among them
// has both ends false: A' = (A + B) t, B' = A f, D' = D + B f. Sums of positive terms only.
std::pair<WideReal, WideReal> pathChances(const VariableProbabilities& law, std::int32_t n) {
  WideReal a = law.truth(0);
  WideReal b = law.falsity(0);
  WideReal d = 0.0;
  for (std::int32_t i = 1; i < n; ++i) {
    const WideReal t = law.truth(i);
    const WideReal f = law.falsity(i);
    d += b * f;
    const WideReal nextA = (a + b) * t;
    b = a * f;
    a = nextA;
  }
  return {a + b, d};
}

Setup pathSetup(bool rareFails) {
  constexpr std::int32_t n = 10000;
  VariableProbabilities law = VariableProbabilities::uniform(0.5);
  if (rareFails) {
    law = failingWith(bench::logUniformChances(n, 1e-7, 1e-5, 23));
  } else {
    std::mt19937_64 engine(19);
    std::vector<double> truth;
    std::vector<double> falsity;
    for (std::int32_t i = 0; i < n; ++i) {
      const double u = static_cast<double>(engine() >> 11) * 0x1.0p-53;
      truth.push_back(0.3 + 0.4 * u);
      falsity.push_back(1.0 - truth.back());
    }
    law = VariableProbabilities::perVariable(truth, falsity);
  }
  const auto [holds, fails] = pathChances(law, n);
  return {support::toProblem(support::pathVertexCover(n)), law, 0.5, rareFails, rareFails ? fails : holds,
          "two-state recursion over the path, extended range"};
}

Setup gridSetup(double p, bool rareFails) {
  constexpr int side = 60;
  const long double q = 1.0L - static_cast<long double>(p);
  const long double activity = q / static_cast<long double>(p);
  // Strips of width 24 (and 18, 23, 17 for the fit's own error), squares up to 26.
  const support::GridFit fit = support::fitSquareGrid(24, 26, activity);
  const long double lnChance = side * side * std::log(static_cast<long double>(p)) + fit.ln(side, side);
  const long double lnError = fit.log10Uncertainty(side, side) * std::log(10.0L);
  WideReal reference;
  if (rareFails) {
    reference = WideReal(static_cast<double>(-std::expm1(lnChance)));
  } else {
    const long double log2 = lnChance / std::log(2.0L);
    const long double whole = std::floor(log2);
    reference = WideReal::scaled(std::exp2(log2 - whole), static_cast<std::int64_t>(whole));
  }
  std::ostringstream derivation;
  derivation.precision(3);
  derivation << "hard squares at activity " << static_cast<double>(activity) << ", ln Z = f wh + s (w + h) + c, f = "
             << static_cast<double>(fit.bulk) << ", s = " << static_cast<double>(fit.surface)
             << ", c = " << static_cast<double>(fit.corner) << "; bound on |ln P - fit|: "
             << static_cast<double>(lnError) << " (" << static_cast<double>(rareFails ? lnError / std::fabs(lnChance) : lnError)
             << " relative)";
  return {support::toProblem(support::gridVertexCover(side, side)), std::nullopt, p, rareFails, reference,
          derivation.str()};
}

constexpr DescentSettings kFewSteps{.particles = 32, .walkSteps = 4};

const std::map<std::string, Case>& cases() {
  static const std::map<std::string, Case> all = {
      {"dodeca-0.1",
       {[] { return dodecahedronSetup(std::vector<double>(30, 0.1), 2.8796012533933e-3, "dodecahedron_exact uniform 0.1"); },
        10, kFewSteps}},
      {"dodeca-1e-3",
       {[] { return dodecahedronSetup(std::vector<double>(30, 1e-3), 2.0060180892154e-9, "dodecahedron_exact uniform 1e-3"); },
        40, kFewSteps}},
      {"dodeca-1e-6",
       {[] { return dodecahedronSetup(std::vector<double>(30, 1e-6), 2.0000060000180e-18, "dodecahedron_exact uniform 1e-6"); },
        60, kFewSteps}},
      {"dodeca-links",
       {[] {
          return dodecahedronSetup(bench::logUniformChances(30, 1e-4, 1e-2, 1), 6.4048886337713e-10,
                                   "dodecahedron_exact links 1");
        },
        40, kFewSteps}},
      {"path-holds", {[] { return pathSetup(false); }, 10, std::nullopt}},
      {"path-fails", {[] { return pathSetup(true); }, 20, std::nullopt}},
      {"grid-0.3", {[] { return gridSetup(0.3, false); }, 30, DescentSettings{.particles = 32, .walkSteps = 128}}},
      {"grid-fails", {[] { return gridSetup(1.0 - 1e-5, true); }, 20, std::nullopt}},
  };
  return all;
}

// One replication's estimate of the rare side, and its RE (NaN at one chance p).
std::pair<WideReal, double> rareSide(SplittingEstimator& estimator, const Setup& setup, std::int32_t roots) {
  const Replication row = estimator.estimateModelCount(roots);
  if (setup.law) {
    const LawAnswer& answer = row.laws.at(0);
    if (setup.rareFails) return {answer.fails, answer.failsRelativeError};
    return {answer.holds, answer.holdsRelativeError};
  }
  WideReal chance;
  for (const WideReal& term : probabilityTerms(setup.rareFails ? row.failingSizeEstimates : row.sizeEstimates,
                                                     VariableProbabilities::uniform(setup.p))) {
    chance += term;
  }
  return {chance, std::nan("")};
}

void runCase(const std::string& name, const Case& c, std::int32_t replications, std::int32_t roots, std::uint32_t seed,
             std::optional<DescentSettings> given, std::int32_t threads, bool honesty, bool each) {
  const Setup setup = c.build();
  const DescentSettings settings = given.value_or(DescentSettings::forVariables(setup.problem.variableCount));
  SplittingEstimator estimator(setup.problem, seed, settings, Parallelism{.threads = threads});
  const bool sizes = !setup.law.has_value();
  estimator.recordSizes(sizes);
  estimator.target({.failing = setup.rareFails,
                    .law = setup.law.value_or(VariableProbabilities::uniform(0.5)),
                    .probabilities = sizes ? std::vector<double>{setup.p} : std::vector<double>{},
                    // as the tool runs them: the failing roots at 32 x 16 unless the case says
                    .failingSettings = given.value_or(DescentSettings{})});
  std::vector<double> ratios;  // estimate / reference
  std::vector<double> errors;
  const double start = monocount::bench::cpuSeconds();
  for (std::int32_t r = 0; r < replications; ++r) {
    const auto [estimate, error] = rareSide(estimator, setup, roots);
    ratios.push_back((estimate / setup.reference).toDouble());
    errors.push_back(error);
    if (each) {
      std::printf("%-13s replication %4d  estimate / reference %.6g  RE %.4g\n", name.c_str(), r, ratios.back(),
                  error);
    }
  }
  const double cpu = monocount::bench::cpuSeconds() - start;
  double mean = 0.0;
  for (const double x : ratios) mean += x / replications;
  double squares = 0.0;
  for (const double x : ratios) squares += (x - mean) * (x - mean);
  const double sd = std::sqrt(squares / (replications - 1));
  const double se = sd / std::sqrt(static_cast<double>(replications));
  // The spread of ln(estimate) over the replications: with N = 1 that of one root, which tells
  // a heavy tail (relative variance e^(sd^2) - 1) from a mild one.
  double logs = 0.0;
  double logSquares = 0.0;
  for (const double x : ratios) {
    logs += std::log(x) / replications;
    logSquares += std::log(x) * std::log(x) / replications;
  }
  const double logSpread = std::sqrt(std::max(0.0, logSquares - logs * logs) * replications / (replications - 1));
  const char* side = setup.rareFails ? "fails" : "holds";
  std::printf("%-13s %-5s N %4d x R %2d  settings %d:%d  ", name.c_str(), side, roots, replications, settings.particles,
              settings.walkSteps);
  if (!honesty) {
    std::printf("estimate %-12s reference %-12s error %+9.2e  %+6.2f SE  pooled RE %8.2e  sd ln %6.3f  CPU %7.1f s\n",
                toString(setup.reference * WideReal(mean), 6).c_str(), toString(setup.reference, 6).c_str(), mean - 1,
                (mean - 1) / se, se / mean, logSpread, cpu);
    return;
  }
  double meanError = 0.0;
  int inside = 0;
  for (std::size_t i = 0; i < ratios.size(); ++i) {
    meanError += errors[i] / replications;
    inside += std::fabs(ratios[i] - 1) <= 2 * errors[i] * ratios[i];
  }
  if (std::isnan(meanError)) {
    std::printf("no RE per replication at one chance p  CPU %7.1f s\n", cpu);
    return;
  }
  std::printf("sd / mean RE %5.2f  within 2 RE %5.1f %%  mean RE %8.2e  error of the mean %+9.2e  CPU %7.1f s\n",
              sd / mean / meanError, 100.0 * inside / replications, meanError, mean - 1, cpu);
}

}  // namespace

int main(int argc, char** argv) {
  std::int32_t replications = 0;
  std::int32_t roots = 0;
  std::uint32_t seed = 1;
  std::optional<DescentSettings> settings;
  std::int32_t threads = 1;
  bool honesty = false;
  bool each = false;
  bool reference = false;
  std::vector<std::string> names;
  try {
    for (int i = 1; i < argc; ++i) {
      const std::string word = argv[i];
      const auto value = [&] {
        if (i + 1 >= argc) throw std::invalid_argument(word + " needs a value");
        return std::string(argv[++i]);
      };
      if (word == "--replications") {
        replications = std::stoi(value());
      } else if (word == "--roots") {
        roots = std::stoi(value());
      } else if (word == "--seed") {
        seed = static_cast<std::uint32_t>(std::stoul(value()));
      } else if (word == "--settings") {
        const std::string setting = value();
        const std::size_t colon = setting.find(':');
        settings = DescentSettings{};
        settings->particles = std::stoi(setting.substr(0, colon));
        settings->walkSteps = colon == std::string::npos ? 0 : std::stoi(setting.substr(colon + 1));
      } else if (word == "--threads") {
        threads = std::stoi(value());
      } else if (word == "--each") {
        each = true;
      } else if (word == "--honesty") {
        honesty = true;
      } else if (word == "--reference") {
        reference = true;
      } else if (word == "all") {
        for (const auto& [name, c] : cases()) names.push_back(name);
      } else if (cases().count(word) != 0) {
        names.push_back(word);
      } else {
        throw std::invalid_argument("unknown case or option " + word);
      }
    }
    if (names.empty()) throw std::invalid_argument("no case given");
    for (const std::string& name : names) {
      const Case& c = cases().at(name);
      if (reference) {
        const Setup setup = c.build();
        std::printf("%-13s %d variables, %d clauses; %s %s: %s\n", name.c_str(), setup.problem.variableCount,
                    setup.problem.clauseCount, setup.rareFails ? "fails" : "holds", toString(setup.reference, 11).c_str(),
                    setup.derivation.c_str());
        continue;
      }
      runCase(name, c, replications > 0 ? replications : (honesty ? 40 : 10), roots > 0 ? roots : c.roots, seed,
              settings ? settings : c.settings, threads, honesty, each);
      std::fflush(stdout);
    }
  } catch (const std::exception& error) {
    std::cerr << "rare_sides: " << error.what() << "\n"
              << "usage: rare_sides [--replications R] [--roots N] [--seed S] [--settings P:W] [--threads T]\n"
              << "                  [--honesty] [--each] CASE...\n"
              << "       rare_sides --reference CASE...\n";
    return 2;
  }
  return 0;
}
