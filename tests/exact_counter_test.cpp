#include "estimation/exact/exact_counter.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "support/enumeration.hpp"
#include "support/formulas.hpp"

namespace monocount {
namespace {

using boost::multiprecision::mpz_int;

struct Shape {
  std::string name;
  support::Formula formula;
};

std::vector<Shape> shapes() {
  return {
      {"path", support::pathVertexCover(13)},
      {"cycle", support::cycleVertexCover(11)},
      {"grid", support::gridVertexCover(4, 4)},
      {"king", support::kingVertexCover(4, 3)},
      {"torus", support::torusVertexCover(3, 5)},
      {"tree", support::randomTreeVertexCover(16, 3)},
      {"random 3-CNF", support::randomDistinct3Cnf(14, 30, 5)},
      {"mixed widths, repeats", support::randomMixedCnf(12, 25, 5, 7)},
      {"unused variables, unit clause", {7, {{0, 1}, {1, 2}, {4}, {2, 0, 1}}}},
      {"no clauses", {5, {}}},
      {"empty clause", {4, {{0, 1}, {}}}},
  };
}

// Chances that the formula holds and fails, by trying every set.
std::pair<long double, long double> enumeratedChances(const support::Formula& f, const std::vector<double>& truth,
                                                      const std::vector<double>& falsity) {
  long double holds = 0.0L;
  long double fails = 0.0L;
  for (std::uint32_t set = 0; set < (1U << f.variables); ++set) {
    long double weight = 1.0L;
    for (int v = 0; v < f.variables; ++v) weight *= (set >> v & 1U) != 0 ? truth[v] : falsity[v];
    bool touchesAll = true;
    for (const auto& clause : f.clauses) {
      bool touched = false;
      for (const int v : clause) touched = touched || (set >> v & 1U) != 0;
      touchesAll = touchesAll && touched;
    }
    (touchesAll ? holds : fails) += weight;
  }
  return {holds, fails};
}

TEST(ExactCounter, CountSpectrumAndBothChancesMatchEnumerationOnEveryShape) {
  for (const Shape& shape : shapes()) {
    const support::Formula& f = shape.formula;
    std::mt19937_64 random(11);
    std::vector<double> truth;
    std::vector<double> falsity;
    for (int v = 0; v < f.variables; ++v) {
      truth.push_back(std::uniform_real_distribution<double>(0.05, 0.95)(random));
      falsity.push_back(1.0 - truth.back());
    }
    ExactSettings settings;
    settings.spectrum = SpectrumMode::exact;
    // A per-variable law, and one whose failures are rare far below double's epsilon.
    settings.laws = {VariableProbabilities::perVariable(truth, falsity),
                     VariableProbabilities::perVariable(std::vector<double>(truth.size(), 1.0),
                                                        std::vector<double>(truth.size(), 1e-40))};
    const ExactResult result = exactCount(support::toProblem(f), settings);

    const std::vector<std::uint64_t> bySize = support::coversBySize(f);
    EXPECT_EQ(result.count, mpz_int(support::enumeratedCount(f))) << shape.name;
    ASSERT_EQ(result.spectrum.size(), bySize.size()) << shape.name;
    for (std::size_t k = 0; k < bySize.size(); ++k) EXPECT_EQ(result.spectrum[k], mpz_int(bySize[k])) << shape.name << " k " << k;
    settings.spectrum = SpectrumMode::floating;
    const ExactResult floating = exactCount(support::toProblem(f), settings);
    ASSERT_EQ(floating.spectrumWide.size(), bySize.size()) << shape.name;
    for (std::size_t k = 0; k < bySize.size(); ++k) {
      const double exact = static_cast<double>(bySize[k]);
      EXPECT_LE(std::fabs(floating.spectrumWide[k].toDouble() - exact), exact * floating.spectrumRelativeError)
          << shape.name << " k " << k;
    }
    for (std::size_t law = 0; law < settings.laws.size(); ++law) {
      const auto [holds, fails] = enumeratedChances(f, law == 0 ? truth : std::vector<double>(truth.size(), 1.0),
                                                    law == 0 ? falsity : std::vector<double>(truth.size(), 1e-40));
      const ExactProbability& chance = result.probabilities[law];
      for (const auto& [got, want] : {std::pair{chance.holds, holds}, std::pair{chance.fails, fails}}) {
        if (want == 0.0L) {
          EXPECT_TRUE(got.isZero()) << shape.name;
        } else {
          EXPECT_NEAR(static_cast<double>(got.log2Abs() - std::log2(want)), 0.0, 1e-14) << shape.name << " law " << law;
        }
      }
    }
  }
}

TEST(ExactCounter, FloatingSpectrumWithinItsBoundOfTheExactOne) {
  // Beyond enumeration: long paths, joins of many children (trees) and wide bags.
  const support::Formula formulas[] = {support::pathVertexCover(400), support::randomTreeVertexCover(300, 2),
                                       support::gridVertexCover(9, 8), support::randomDistinct3Cnf(40, 70, 3)};
  for (const support::Formula& f : formulas) {
    const Problem problem = support::toProblem(f);
    ExactSettings settings;
    settings.spectrum = SpectrumMode::exact;
    const ExactResult exact = exactCount(problem, settings);
    settings.spectrum = SpectrumMode::floating;
    const ExactResult floating = exactCount(problem, settings);
    EXPECT_LT(floating.spectrumRelativeError, 1e-10);
    for (std::size_t k = 0; k < exact.spectrum.size(); ++k) {
      const WideReal want = toWideReal(exact.spectrum[k]);
      const WideReal error = want.isZero() ? floating.spectrumWide[k] : (floating.spectrumWide[k] - want) / want;
      EXPECT_LE(std::fabs(error.toDouble()), floating.spectrumRelativeError) << f.variables << " variables, k " << k;
    }
  }
}

TEST(ExactCounter, SameDigitsOnOneAndThreeThreads) {
  // Tables of hundreds of states, in blocks of 16 shared out between the threads.
  const Problem problem = support::toProblem(support::torusVertexCover(6, 7));
  for (const SpectrumMode mode : {SpectrumMode::exact, SpectrumMode::floating}) {
    ExactSettings settings;
    settings.blockStates = 16;
    settings.spectrum = mode;
    settings.laws = {VariableProbabilities::uniform(0.3)};
    const ExactResult one = exactCount(problem, settings);
    settings.threads = 3;
    const ExactResult three = exactCount(problem, settings);
    EXPECT_EQ(one.spectrumWide, three.spectrumWide);
    EXPECT_EQ(one.probabilities[0].holds, three.probabilities[0].holds);
    EXPECT_EQ(one.probabilities[0].fails, three.probabilities[0].fails);
  }
}

TEST(ExactCounter, RefusesNamingTheWidthOrTheMemory) {
  ExactSettings narrow;
  narrow.maxWidth = 5;
  ExactSettings small;
  small.memoryLimit = 5000;
  const std::pair<ExactSettings, std::string> cases[] = {{narrow, "width more than 5"},
                                                         {small, "at once, and 5 kB are allowed"}};
  for (const auto& [settings, message] : cases) {
    try {
      exactCount(support::toProblem(support::gridVertexCover(8, 8)), settings);
      ADD_FAILURE() << "expected a refusal: " << message;
    } catch (const ExactRefusal& refusal) {
      EXPECT_NE(std::string(refusal.what()).find(message), std::string::npos) << refusal.what();
    }
  }
}

}  // namespace
}  // namespace monocount
