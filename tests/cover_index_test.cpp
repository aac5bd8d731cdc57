#include "problem/cover_index.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <numeric>
#include <random>
#include <stdexcept>
#include <vector>

#include "support/formulas.hpp"
#include "support/reference_estimator.hpp"

namespace monocount {

struct CoverIndexTestAccess {
  using Scan = CoverIndex::Scan;
  static std::int32_t query(CoverIndex& index, const std::int32_t* order, Scan scan) {
    return index.coverPositionOfPermutation(order, scan);
  }
  static void setEpoch(CoverIndex& index, std::uint32_t epoch) { index.epoch_ = epoch; }
};

namespace {

using support::toProblem;

// Every scan of a permutation against the plain reference query: up to 12 variables and 10
// clauses, then up to 300 and 400, of 0 to 4 literals with repeats, so that empty clauses,
// unused variables, repeated indices and formulas without clauses all occur.
TEST(CoverIndex, AgreesWithTheReferenceOnRandomFormulasAndOrders) {
  using Scan = CoverIndexTestAccess::Scan;
  std::mt19937 random(20240611);
  const auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  for (int trial = 0; trial < 4000; ++trial) {
    const bool small = trial < 3000;
    const int variables = 1 + below(small ? 12 : 300);
    const int clauses = below(small ? 11 : 400);
    support::Formula formula{variables, support::Clauses(static_cast<std::size_t>(clauses))};
    for (auto& clause : formula.clauses)
      for (int literals = below(5); literals > 0; --literals) clause.push_back(below(variables));
    const Problem problem = toProblem(formula);
    support::reference::PlainFormula plain(problem);
    CoverIndex index(problem);

    std::vector<std::int32_t> order(static_cast<std::size_t>(variables));
    std::iota(order.begin(), order.end(), 0);
    for (int draw = 0; draw < 20; ++draw) {
      std::shuffle(order.begin(), order.end(), random);
      const std::int32_t expected = plain.coverPosition(order);
      for (const Scan scan : {Scan::forward, Scan::backward, Scan::clauses})
        ASSERT_EQ(CoverIndexTestAccess::query(index, order.data(), scan), expected)
            << "formula " << trial << " scan " << static_cast<int>(scan);
      ASSERT_EQ(index.coverPositionOfPermutation(order.data()), expected) << "formula " << trial;
    }
  }
}

TEST(CoverIndex, ClearsItsStampsWhenTheEpochWraps) {
  const std::int32_t order[] = {0, 1, 2};
  using Scan = CoverIndexTestAccess::Scan;
  // Wrapping to epoch 0 would take the fresh stamps (0) for touched clauses.
  const Problem units = toProblem({3, {{0}, {1}, {2}}});
  CoverIndex fresh(units);
  CoverIndexTestAccess::setEpoch(fresh, std::numeric_limits<std::uint32_t>::max());
  EXPECT_EQ(CoverIndexTestAccess::query(fresh, order, Scan::forward), 2);
  // Wrapping to epoch 1 without clearing would take the first query's stamps for touched.
  CoverIndex used(units);
  EXPECT_EQ(CoverIndexTestAccess::query(used, order, Scan::forward), 2);
  CoverIndexTestAccess::setEpoch(used, std::numeric_limits<std::uint32_t>::max());
  for (int query = 0; query < 3; ++query) EXPECT_EQ(CoverIndexTestAccess::query(used, order, Scan::forward), 2);
}

TEST(CoverIndex, RefusesAProblemThatNoLoadProduces) {
  const auto refused = [](auto edit) {
    Problem problem = toProblem({2, {{0, 1}, {1}, {0}}});
    edit(problem);
    EXPECT_THROW(CoverIndex{problem}, std::invalid_argument);
  };
  refused([](Problem& p) { p.literals[3] = 2; });        // a variable index >= the count
  refused([](Problem& p) { p.literals[0] = -1; });
  refused([](Problem& p) { p.clauseCount = 4; });        // offsets for fewer clauses
  refused([](Problem& p) { p.clauseBegin[2] = 1; });     // offsets that decrease
  refused([](Problem& p) { p.literals.push_back(0); });  // literals past the last clause
}

}  // namespace
}  // namespace monocount
