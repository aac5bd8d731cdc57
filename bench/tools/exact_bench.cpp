// Figures of the exact counter (src/estimation/exact) on one formula: the decomposition each
// heuristic finds, the plan's estimates of time and memory, the CPU seconds and the memory
// the run took, and its answers checked against independent references.
//
//   exact_bench [--spectrum | --exact-spectrum | --floating-spectrum] [--probability P]...
//               [--law SEED] [--threads K] [--max-width W] [--memory BYTES] [--digits] [--plan]
//               FAMILY ARGS...
//
// FAMILY ARGS: path N | cycle N | tree N SEED | grid W H | torus W H | king W H |
//   random3 N M SEED (distinct clauses of three variables)
// --probability P  the chance that the formula holds (and fails) when every variable is true
//                  with chance P; --law SEED the same under a law with a chance per variable,
//                  drawn uniformly from [0.05, 0.95] by std::mt19937_64(SEED).
// --spectrum computes N(k) exactly unless the plan finds the extended-range floating point
// much cheaper; the other two force one or the other. --digits prints the count in decimal.
// --plan stops after the plan (what --method auto would decide from).
//
// References: the count by Fibonacci (path), Lucas (cycle), the tree DP, the grid and torus
// transfer matrices, the frontier DP (king, random3 beyond 64 variables) and the component
// search (random3 up to 64 variables), all from the test-support library; the spectrum of a path
// by its closed form N(k) = C(k + 1, n - k), and every spectrum summed against the count; each
// probability against the one the spectrum gives (sum_k N(k) p^k (1 - p)^(n - k)) when both are
// asked for with a uniform law; holds + fails against 1.
//
// Time: user + system CPU seconds of the process (all threads), from getrusage, around the
// count. Memory: the growth of the resident set over the count (VmHWM after minus VmRSS
// before, from /proc/self/status) beside the plan's estimate; `/usr/bin/time -v` on the whole
// process adds the formula, the tree and the program itself.
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <exception>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "estimation/exact/exact_counter.hpp"
#include "support/exact_counts.hpp"
#include "support/formulas.hpp"
#include "support/cpu_time.hpp"

namespace {

using namespace monocount;
using boost::multiprecision::mpz_int;

// A field of /proc/self/status in bytes (VmRSS, VmHWM).
double statusBytes(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return 1024.0 * std::stod(line.substr(field.size() + 1));
  }
  return 0.0;
}

struct Family {
  std::vector<std::string> words;
  int number(std::size_t i) const { return std::stoi(words.at(i)); }
  bool is(const char* name, std::size_t arguments) const { return words.at(0) == name && words.size() == arguments + 1; }

  support::Formula formula() const {
    if (is("path", 1)) return support::pathVertexCover(number(1));
    if (is("cycle", 1)) return support::cycleVertexCover(number(1));
    if (is("tree", 2)) return support::randomTreeVertexCover(number(1), std::stoull(words[2]));
    if (is("grid", 2)) return support::gridVertexCover(number(1), number(2));
    if (is("torus", 2)) return support::torusVertexCover(number(1), number(2));
    if (is("king", 2)) return support::kingVertexCover(number(1), number(2));
    if (is("random3", 3)) return support::randomDistinct3Cnf(number(1), number(2), static_cast<std::uint32_t>(std::stoul(words[3])));
    throw std::invalid_argument("unknown family or wrong number of arguments: " + words.at(0));
  }

  // The reference count and how it was found.
  std::pair<mpz_int, std::string> reference(const support::Formula& formula) const {
    const auto convert = [](const support::Count& count) { return mpz_int(count.str()); };
    if (is("path", 1)) return {convert(support::pathCount(number(1))), "Fibonacci"};
    if (is("cycle", 1)) return {convert(support::cycleCount(number(1))), "Lucas"};
    if (is("tree", 2)) return {convert(support::forestCount(formula)), "tree DP"};
    if (is("grid", 2)) return {convert(support::gridCount(std::min(number(1), number(2)), std::max(number(1), number(2)))), "transfer matrix"};
    if (is("torus", 2)) return {convert(support::torusCount(std::min(number(1), number(2)), std::max(number(1), number(2)))), "torus transfer matrix"};
    if (formula.variables <= 64) return {convert(support::MonotoneCounter().count(formula)), "component search"};
    return {convert(support::frontierCount(formula, std::size_t{1} << 26)), "frontier DP"};
  }
};

std::string verdict(bool agrees) { return agrees ? "agrees" : "DIFFERS"; }

}  // namespace

int main(int argc, char** argv) {
  try {
    std::vector<std::string> words(argv + 1, argv + argc);
    ExactSettings settings;
    std::vector<double> uniform;  // the p of each uniform law, NaN for a per-variable one
    std::vector<std::uint64_t> lawSeeds;
    bool digits = false;
    bool planOnly = false;
    while (!words.empty() && words[0].rfind("--", 0) == 0) {
      const std::string option = words[0];
      words.erase(words.begin());
      const auto value = [&] {
        if (words.empty()) throw std::invalid_argument("missing value of " + option);
        std::string text = words[0];
        words.erase(words.begin());
        return text;
      };
      if (option == "--spectrum") {
        settings.spectrum = SpectrumMode::cheaper;
      } else if (option == "--exact-spectrum") {
        settings.spectrum = SpectrumMode::exact;
      } else if (option == "--floating-spectrum") {
        settings.spectrum = SpectrumMode::floating;
      } else if (option == "--digits") {
        digits = true;
      } else if (option == "--plan") {
        planOnly = true;
      } else if (option == "--probability") {
        uniform.push_back(std::stod(value()));
      } else if (option == "--law") {
        uniform.push_back(std::nan(""));
        lawSeeds.push_back(std::stoull(value()));
      } else if (option == "--threads") {
        settings.threads = std::stoi(value());
      } else if (option == "--max-width") {
        settings.maxWidth = std::stoi(value());
      } else if (option == "--memory") {
        settings.memoryLimit = std::stoull(value());
      } else {
        throw std::invalid_argument("unknown option: " + option);
      }
    }
    if (words.empty()) throw std::invalid_argument("expected a family; see the comment at the top of exact_bench.cpp");
    const Family family{words};
    const support::Formula formula = family.formula();
    const Problem problem = support::toProblem(formula);
    std::size_t seedIndex = 0;
    for (const double p : uniform) {
      if (!std::isnan(p)) {
        settings.laws.push_back(VariableProbabilities::uniform(p));
        continue;
      }
      std::mt19937_64 random(lawSeeds[seedIndex++]);
      std::uniform_real_distribution<double> chance(0.05, 0.95);
      std::vector<double> truth;
      std::vector<double> falsity;
      for (int v = 0; v < formula.variables; ++v) {
        truth.push_back(chance(random));
        falsity.push_back(1.0 - truth.back());
      }
      settings.laws.push_back(VariableProbabilities::perVariable(truth, falsity));
    }
    std::string name = words[0];
    for (std::size_t i = 1; i < words.size(); ++i) name += " " + words[i];
    std::cout << "formula: " << name << " (" << formula.variables << " variables, " << formula.clauses.size()
              << " clauses)\n";

    const double rssBefore = statusBytes("VmRSS");
    const double cpuStart = monocount::bench::cpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    const ExactPlan plan = planExact(problem, settings);
    const double planCpu = monocount::bench::cpuSeconds() - cpuStart;
    std::cout << std::setprecision(3);
    for (const DecompositionCandidate& c : plan.candidates) {
      std::cout << "order: " << heuristicName(c.heuristic) << " width " << c.width;
      if (c.complete && c.bytes == UINT64_MAX) {
        std::cout << ", tables beyond the memory limit";
      } else if (c.complete) {
        std::cout << ", estimated " << c.seconds << " s, " << byteText(static_cast<double>(c.bytes));
      } else {
        std::cout << (c.outOfTime ? ", out of time" : ", given up beyond the maximum width");
      }
      std::cout << '\n';
    }
    std::cout << "plan: " << planCpu << " CPU s; ";
    if (!plan.refusal.empty()) {
      std::cout << "refused: " << plan.refusal << '\n';
      return 0;
    }
    std::cout << heuristicName(plan.heuristic) << ", width " << plan.width << ", largest table " << plan.largestTable
              << " states, " << plan.totalStates << " states in all; tables " << byteText(static_cast<double>(plan.bytes))
              << " at most (tree " << byteText(static_cast<double>(plan.treeBytes)) << "); estimated " << plan.seconds
              << " CPU s\n";
    if (planOnly) return 0;

    const double runStart = monocount::bench::cpuSeconds();
    const ExactResult result = exactCount(problem, plan, settings);
    const double runCpu = monocount::bench::cpuSeconds() - runStart;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const double grown = statusBytes("VmHWM") - rssBefore;
    std::cout << "run: " << runCpu << " CPU s (plan and run " << planCpu + runCpu << " CPU s, " << wall
              << " s wall, " << settings.threads << " thread" << (settings.threads == 1 ? "" : "s")
              << "); memory grew " << byteText(grown) << " (estimated " << byteText(static_cast<double>(plan.bytes + plan.treeBytes))
              << ")\n";

    const auto [reference, how] = family.reference(formula);
    const std::string decimal = result.countDecimal();
    std::cout << "count: " << result.countWide() << " (" << decimal.size() << " digits); " << how << ": "
              << verdict(result.count == reference) << '\n';
    if (digits) std::cout << "digits: " << decimal << '\n';
    if (settings.spectrum != SpectrumMode::none) {
      const bool exact = plan.spectrum == SpectrumMode::exact;
      std::cout << "spectrum: " << result.spectrumWide.size() << " numbers, "
                << (exact ? "exact" : "floating, relative error at most " + toString(WideReal(result.spectrumRelativeError), 3));
      // The sum against the count; the path's numbers against C(k + 1, n - k).
      WideReal sum;
      for (const WideReal& number : result.spectrumWide) sum += number;
      const double sumError = std::fabs(((sum - result.countWide()) / result.countWide()).toDouble());
      if (exact) {
        mpz_int exactSum;
        for (const mpz_int& number : result.spectrum) exactSum += number;
        std::cout << "; sum " << verdict(exactSum == reference);
      } else {
        std::cout << "; sum within " << sumError << " of the count";
      }
      if (family.is("path", 1)) {
        const int n = formula.variables;
        bool agrees = true;
        double worst = 0.0;
        for (int k = 0; k <= n; ++k) {
          mpz_int binomial;
          if (k + 1 >= n - k) mpz_bin_uiui(binomial.backend().data(), static_cast<unsigned long>(k + 1), static_cast<unsigned long>(n - k));
          if (exact) {
            agrees = agrees && result.spectrum[static_cast<std::size_t>(k)] == binomial;
          } else if (binomial != 0) {
            const WideReal want = toWideReal(binomial);
            worst = std::max(worst, std::fabs(((result.spectrumWide[static_cast<std::size_t>(k)] - want) / want).toDouble()));
          } else {
            agrees = agrees && result.spectrumWide[static_cast<std::size_t>(k)].isZero();
          }
        }
        std::cout << "; C(k + 1, n - k): " << verdict(agrees && worst <= result.spectrumRelativeError);
        if (!exact) std::cout << " (largest relative error " << worst << ")";
      }
      std::cout << '\n';
    }
    for (std::size_t law = 0; law < result.probabilities.size(); ++law) {
      const ExactProbability& chance = result.probabilities[law];
      std::cout << std::setprecision(17) << "probability "
                << (std::isnan(uniform[law]) ? "per-variable law" : "p = " + std::to_string(uniform[law])) << ": holds "
                << chance.holds << ", fails " << chance.fails << ", holds + fails - 1 = "
                << (chance.holds + chance.fails - WideReal(1.0));
      if (settings.spectrum != SpectrumMode::none && !std::isnan(uniform[law])) {
        // sum_k N(k) p^k (1 - p)^(n - k), every term in WideReal.
        const WideReal p(uniform[law]);
        const WideReal q(1.0 - uniform[law]);
        const std::size_t n = result.spectrumWide.size() - 1;
        std::vector<WideReal> qPowers(n + 1, WideReal(1.0));
        for (std::size_t j = 1; j <= n; ++j) qPowers[j] = qPowers[j - 1] * q;
        WideReal fromSpectrum;
        WideReal pPower(1.0);
        for (std::size_t k = 0; k <= n; ++k) {
          fromSpectrum += result.spectrumWide[k] * pPower * qPowers[n - k];
          pPower *= p;
        }
        std::cout << "; from the spectrum " << fromSpectrum << " (relative difference "
                  << ((chance.holds - fromSpectrum) / fromSpectrum).toDouble() << ")";
      }
      std::cout << std::setprecision(3) << '\n';
    }
  } catch (const std::exception& error) {
    std::cerr << "exact_bench: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
