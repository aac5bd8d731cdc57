#include "estimation/splitting/cover_chain.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <set>
#include <vector>

#include "support/formulas.hpp"

namespace monocount {
namespace {

using support::Clauses;

// Whether the first `length` variables of `order` touch every clause.
bool prefixCovers(const Clauses& clauses, const std::vector<std::int32_t>& order, std::int32_t length) {
  const std::set<std::int32_t> prefix(order.begin(), order.begin() + length);
  return std::all_of(clauses.begin(), clauses.end(), [&](const auto& clause) {
    return std::any_of(clause.begin(), clause.end(), [&](std::int32_t v) { return prefix.count(v) != 0; });
  });
}

// The state a chain must always be in: a permutation whose prefix covers, with counts that
// match a recount.
void expectConsistent(const Clauses& clauses, const CoverChain& chain, std::int32_t variables) {
  std::vector<std::int32_t> sorted = chain.order();
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::int32_t> identity(static_cast<std::size_t>(variables));
  std::iota(identity.begin(), identity.end(), 0);
  ASSERT_EQ(sorted, identity);
  ASSERT_TRUE(prefixCovers(clauses, chain.order(), chain.prefixLength()));
  const std::set<std::int32_t> prefix(chain.order().begin(), chain.order().begin() + chain.prefixLength());
  for (std::size_t c = 0; c < clauses.size(); ++c) {
    const std::set<std::int32_t> distinct(clauses[c].begin(), clauses[c].end());
    const auto inPrefix = std::count_if(distinct.begin(), distinct.end(), [&](std::int32_t v) { return prefix.count(v) != 0; });
    ASSERT_EQ(chain.counts()[c], inPrefix) << "clause " << c;
  }
}

TEST(CoverChain, StepsNeverLeaveTheOrdersWhosePrefixCovers) {
  for (const std::uint32_t seed : {1u, 2u, 3u, 4u}) {
    const std::int32_t n = 14;
    const Clauses clauses = support::randomMixedCnf(n, 18, 3, seed).clauses;
    const Problem problem = support::toProblem({n, clauses});
    const OccurrenceTable table(problem);
    SplitEngine engine(seed);
    CoverChain chain(table);
    CoverChain child(table);
    expectConsistent(clauses, chain, n);
    // Walk down: at each prefix length take steps, and cut to the next length from a state
    // whose cover length allows it.
    for (std::int32_t step = 0; step < 3000 && chain.prefixLength() > 1; ++step) {
      chain.exchange(step % 5, engine);
      const std::int32_t length = chain.coverLength(engine);
      ASSERT_GE(length, 1);
      ASSERT_LE(length, chain.prefixLength());
      EXPECT_TRUE(prefixCovers(clauses, chain.order(), length));
      EXPECT_FALSE(prefixCovers(clauses, chain.order(), length - 1));
      expectConsistent(clauses, chain, n);
      if (length < chain.prefixLength() && step % 7 == 0) {
        child.adopt(chain, length);
        expectConsistent(clauses, child, n);
        EXPECT_EQ(child.prefixLength(), length);
        std::swap(chain, child);
      }
    }
  }
}

TEST(CoverChain, CoverLengthHasTheDistributionOfAUniformOrder) {
  // (x0 x1)(x1 x2)(x3): of the 24 orders, 4 have L = 2 ({x1 x3} first), 6 have L = 4 (x3 last)
  // and the other 14 have L = 3. Drawn from the whole order, and again from a chain that was
  // cut to prefix length 3 (where only the 4 + 14 orders with L <= 3 remain, weighted alike).
  const Clauses clauses = {{0, 1}, {1, 2}, {3}};
  const OccurrenceTable table(support::toProblem({4, clauses}));
  SplitEngine engine(11);
  CoverChain whole(table);
  CoverChain cut(table);
  while (whole.coverLength(engine) > 3) {
  }
  cut.adopt(whole, 3);
  struct Case {
    CoverChain* chain;
    std::map<std::int32_t, double> expected;
  };
  const Case cases[] = {{&whole, {{2, 4.0 / 24}, {3, 14.0 / 24}, {4, 6.0 / 24}}}, {&cut, {{2, 4.0 / 18}, {3, 14.0 / 18}}}};
  for (const Case& c : cases) {
    std::map<std::int32_t, int> seen;
    const int draws = 200000;
    for (int i = 0; i < draws; ++i) {
      c.chain->exchange(2, engine);  // nothing to exchange with for the whole order
      ++seen[c.chain->coverLength(engine)];
    }
    EXPECT_EQ(seen.size(), c.expected.size());
    for (const auto& [length, share] : c.expected) {
      // Five standard errors of independent draws, with room for the chain's correlation.
      EXPECT_NEAR(seen[length] / static_cast<double>(draws), share, 10 * std::sqrt(share * (1 - share) / draws))
          << "L = " << length;
    }
  }
}

TEST(CoverChain, ExchangesVisitEveryCoveringPrefixEquallyOften) {
  // Prefix length 3 of 6 variables under (x0 x1)(x2 x3)(x4 x5): the covering prefixes are the
  // 8 sets holding one variable of each pair; the chain must spend equal time in each.
  const Clauses clauses = support::matching(3).clauses;
  const OccurrenceTable table(support::toProblem({6, clauses}));
  SplitEngine engine(5);
  CoverChain whole(table);
  CoverChain chain(table);
  while (whole.coverLength(engine) != 3) {
  }
  chain.adopt(whole, 3);
  std::map<std::set<std::int32_t>, int> visits;
  const int steps = 160000;
  for (int i = 0; i < steps; ++i) {
    chain.exchange(1, engine);
    ++visits[std::set<std::int32_t>(chain.order().begin(), chain.order().begin() + 3)];
  }
  ASSERT_EQ(visits.size(), 8u);
  for (const auto& [prefix, count] : visits) {
    EXPECT_NEAR(count / static_cast<double>(steps), 1.0 / 8, 0.01);
    EXPECT_TRUE(prefixCovers(clauses, std::vector<std::int32_t>(prefix.begin(), prefix.end()), 3));
  }
}

}  // namespace
}  // namespace monocount
