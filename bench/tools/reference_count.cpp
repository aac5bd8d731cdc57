// Reference counts for the benchmarks: writes a family member in DIMACS and prints its model
// count without sampling (the counters are in the test-support library, support/exact_counts.hpp).
//
//   reference_count [--cnf FILE] [--decimal] [--check] [--exact | --float] [--shuffle SEED] FAMILY ARGS...
//
// FAMILY ARGS: grid W H | torus W H | path N | cycle N | tree N SEED |
//   banded N M K WINDOW SEED | bipartite A B | complete N | disjoint K COUNT |
//   blocks BLOCKS VARIABLES CLAUSES SEED
// or, to validate the square-grid fit on the squares it did not see: fit LARGEST (the fit of
// fitSquareGrid with squares up to LARGEST) | leastsquares LO HI (a least-squares fit over all
// LO..HI rectangles, for comparison).
//
// --cnf FILE writes the formula there ("-" for standard output, then no report). --decimal adds
// the exact count in decimal. Grids are counted exactly when the shorter side is at most 24
// (31 with --exact), in long double up to 31 (also below with --float), by the fit beyond.
// --check also counts the (shuffled) formula by the general frontier DP and reports whether the
// two agree (exact counts only; it can take long or give up on wide frontiers).
// --shuffle SEED renames the variables and reorders the clauses (the count is unchanged). The
// report is one "key: value" line each: family, variables,
// clauses, log10_count, log10_fraction (count / 2^variables), uncertainty_log10, method.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/exact_counts.hpp"
#include "support/formulas.hpp"

namespace {

using namespace monocount::support;
using monocount::support::Formula;

struct Result {
  std::optional<Count> exact;
  long double log10Count = 0;
  long double uncertainty = 0;  // in log10
  std::string method;
};

// Grids are counted exactly up to a shorter side of kExactGridWidth (kFloatGridWidth with
// --exact: 31 x 31 takes minutes), in long double up to kFloatGridWidth and by the fit beyond.
constexpr int kExactGridWidth = 24;
constexpr int kFloatGridWidth = 31;
// The fit's data: strips of widths 18 and 24 and squares of sides 26..28 (fitSquareGrid).
constexpr int kFitStripWidth = 24;
constexpr int kFitLargestSquare = 28;

Result exactResult(Count count, std::string method) {
  Result result{std::move(count), 0, 0, std::move(method)};
  result.log10Count = log10Of(*result.exact);
  return result;
}

Result gridByFit(int w, int h) {
  const GridFit fit = fitSquareGrid(kFitStripWidth, kFitLargestSquare);
  std::ostringstream method;
  method << std::setprecision(18) << "fit ln Z = f wh + s (w + h) + c (f = " << fit.bulk << ", s = " << fit.surface
         << ", c = " << fit.corner << ") through strips of widths " << kFitStripWidth - 6 << " and " << kFitStripWidth
         << " and squares up to " << kFitLargestSquare;
  return Result{std::nullopt, fit.log10(w, h), fit.log10Uncertainty(w, h), method.str()};
}

enum class GridMethod { automatic, exact, floating };

Result gridResult(int w, int h, GridMethod choice) {
  const int across = std::min(w, h);
  const int along = std::max(w, h);
  const int exactWidth = choice == GridMethod::exact ? kFloatGridWidth : kExactGridWidth;
  if (across <= exactWidth && choice != GridMethod::floating) {
    return exactResult(gridCount(across, along), "transfer matrix across the shorter side, exact");
  }
  if (across <= kFloatGridWidth) {
    const ScaledValue value = gridCountFloat(across, along);
    const long double bound = floatRelativeErrorBound(static_cast<long long>(w) * h, fibonacci(across + 2));
    std::ostringstream method;
    method << "transfer matrix across the shorter side in long double, relative error < " << std::setprecision(3)
           << static_cast<double>(bound);
    // The relative error in log10, plus the rounding of the log10 itself.
    const long double uncertainty = bound / std::log(10.0L) + std::fabs(value.log10()) * std::ldexp(1.0L, -63);
    return Result{std::nullopt, value.log10(), uncertainty, method.str()};
  }
  return gridByFit(w, h);
}

// A fit's predictions for the squares of sides from..kFloatGridWidth it did not see and for
// long rectangles, against their transfer-matrix counts, and for 40 x 40 and 60 x 60.
int fitReport(const GridFit& fit, int from) {
  std::cout << std::setprecision(18) << "f = " << fit.bulk << " (exp f = " << std::exp(fit.bulk) << ")  s = " << fit.surface
            << "  c = " << fit.corner << '\n';
  std::cout << " grid  log10 count (transfer matrix)  fit prediction        error (log10)  stated uncertainty\n";
  std::vector<std::pair<int, int>> sides;
  for (int side = from; side <= kFloatGridWidth; ++side) sides.emplace_back(side, side);
  for (const int length : {40, 60, 100}) sides.emplace_back(from, length);
  for (const auto& [w, h] : sides) {
    const long double counted = gridCountFloat(w, h).log10();
    std::cout << std::setw(6) << std::to_string(w) + "x" + std::to_string(h) << "  " << std::setprecision(16) << std::setw(27)
              << counted << "  " << std::setw(20) << fit.log10(w, h) << "  " << std::setprecision(3) << std::setw(13)
              << static_cast<double>(fit.log10(w, h) - counted) << "  " << static_cast<double>(fit.log10Uncertainty(w, h)) << '\n';
  }
  for (const int side : {40, 60}) {
    std::cout << std::setw(6) << std::to_string(side) + "x" + std::to_string(side) << "  " << std::setw(27) << "-" << "  " << std::setprecision(16) << std::setw(20)
              << fit.log10(side, side) << "  " << std::setw(13) << "-" << "  " << std::setprecision(3)
              << static_cast<double>(fit.log10Uncertainty(side, side)) << '\n';
  }
  return 0;
}

// A family member from its command-line words, and its count.
struct Family {
  std::vector<std::string> words;
  int number(std::size_t i) const { return std::stoi(words.at(i)); }
  std::uint64_t seed(std::size_t i) const { return std::stoull(words.at(i)); }
  bool is(const char* name, std::size_t arguments) const { return words.at(0) == name && words.size() == arguments + 1; }

  Formula formula() const {
    if (is("grid", 2)) return monocount::support::gridVertexCover(number(1), number(2));
    if (is("torus", 2)) return torusVertexCover(number(1), number(2));
    if (is("path", 1)) return pathVertexCover(number(1));
    if (is("cycle", 1)) return cycleVertexCover(number(1));
    if (is("tree", 2)) return randomTreeVertexCover(number(1), seed(2));
    if (is("banded", 5)) return bandedMonotoneCnf(number(1), number(2), number(3), number(4), seed(5));
    if (is("bipartite", 2)) return completeBipartiteVertexCover(number(1), number(2));
    if (is("complete", 1)) return completeGraphVertexCover(number(1));
    if (is("disjoint", 2)) return disjointClauses(number(1), number(2));
    if (is("blocks", 4)) return randomBlocks(number(1), number(2), number(3), static_cast<std::uint32_t>(seed(4)));
    throw std::invalid_argument("unknown family or wrong number of arguments: " + words.at(0));
  }

  Result count(const Formula& formula, GridMethod gridMethod) const {
    if (is("grid", 2)) return gridResult(number(1), number(2), gridMethod);
    if (is("torus", 2)) {
      return exactResult(torusCount(std::min(number(1), number(2)), std::max(number(1), number(2))), "trace of the row transfer matrix, exact");
    }
    if (is("path", 1)) return exactResult(pathCount(number(1)), "Fibonacci F(n + 2), exact");
    if (is("cycle", 1)) return exactResult(cycleCount(number(1)), "Lucas L(n), exact");
    if (is("tree", 2)) return exactResult(forestCount(formula), "tree DP, exact");
    if (is("banded", 5)) return exactResult(bandedCount(formula, number(4)), "sliding-window DP, exact");
    if (is("bipartite", 2)) return exactResult(completeBipartiteCount(number(1), number(2)), "2^a + 2^b - 1, exact");
    if (is("complete", 1)) return exactResult(completeGraphCount(number(1)), "n + 1, exact");
    if (is("disjoint", 2)) return exactResult(disjointClausesCount(number(1), number(2)), "(2^k - 1)^count, exact");
    return exactResult(randomBlocksCount(number(1), number(2), number(3), static_cast<std::uint32_t>(seed(4))),
                       "product of the blocks' exhaustive counts, exact");
  }
};

}  // namespace

int main(int argc, char** argv) {
  try {
    std::vector<std::string> words(argv + 1, argv + argc);
    std::optional<std::string> cnfPath;
    std::optional<std::uint64_t> shuffleSeed;
    bool decimal = false;
    bool check = false;
    GridMethod gridMethod = GridMethod::automatic;
    while (!words.empty() && words[0].rfind("--", 0) == 0) {
      const std::string option = words[0];
      words.erase(words.begin());
      if (option == "--decimal") {
        decimal = true;
      } else if (option == "--check") {
        check = true;
      } else if (option == "--float") {
        gridMethod = GridMethod::floating;
      } else if (option == "--exact") {
        gridMethod = GridMethod::exact;
      } else if ((option == "--cnf" || option == "--shuffle") && !words.empty()) {
        if (option == "--cnf") cnfPath = words[0];
        if (option == "--shuffle") shuffleSeed = std::stoull(words[0]);
        words.erase(words.begin());
      } else {
        throw std::invalid_argument("unknown option or missing value: " + option);
      }
    }
    if (words.empty()) throw std::invalid_argument("expected a family; see the comment at the top of reference_count.cpp");
    if (words[0] == "fit" && words.size() == 2) {
      const int largest = std::stoi(words[1]);
      return fitReport(fitSquareGrid(std::min(largest, kFitStripWidth), largest), largest + 1);
    }
    if (words[0] == "leastsquares" && words.size() == 3) {
      return fitReport(leastSquaresGridFit(std::stoi(words[1]), std::stoi(words[2])), std::stoi(words[2]) + 1);
    }
    const Family member{words};
    Formula formula = member.formula();
    if (shuffleSeed) formula = shuffled(std::move(formula), *shuffleSeed);
    if (cnfPath) {
      if (*cnfPath == "-") {
        monocount::support::writeDimacs(formula, std::cout);
        return 0;
      }
      std::ofstream file(*cnfPath);
      monocount::support::writeDimacs(formula, file);
      if (!file) throw std::runtime_error("cannot write " + *cnfPath);
    }
    const auto start = std::chrono::steady_clock::now();
    const Result result = member.count(member.formula(), gridMethod);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long double log10Fraction = result.log10Count - formula.variables * std::log10(2.0L);
    std::string family = words[0];
    for (std::size_t i = 1; i < words.size(); ++i) family += " " + words[i];
    if (shuffleSeed) family += " (shuffled, seed " + std::to_string(*shuffleSeed) + ")";
    std::cout << "family: " << family << '\n'
              << "variables: " << formula.variables << '\n'
              << "clauses: " << formula.clauses.size() << '\n'
              << std::setprecision(15) << "log10_count: " << result.log10Count << '\n'
              << "log10_fraction: " << log10Fraction << '\n'
              << std::setprecision(3) << "uncertainty_log10: " << static_cast<double>(result.uncertainty) << '\n'
              << "method: " << result.method << '\n'
              << "seconds: " << seconds << '\n';
    if (check && result.exact) {
      const auto checkStart = std::chrono::steady_clock::now();
      std::string verdict;
      try {
        verdict = frontierCount(formula, std::size_t{1} << 24) == *result.exact ? "agrees" : "DIFFERS";
      } catch (const std::length_error& error) {
        verdict = std::string("gave up: ") + error.what();
      }
      std::cout << "frontier_check: " << verdict << " ("
                << std::chrono::duration<double>(std::chrono::steady_clock::now() - checkStart).count() << " s)\n";
    }
    if (decimal && result.exact) std::cout << "count: " << *result.exact << '\n';
  } catch (const std::exception& error) {
    std::cerr << "reference_count: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
