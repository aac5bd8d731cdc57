// Micro-benchmarks of the classic estimator's pieces, each beside the plain reference version:
// the shuffle, the cover query, the tail table and one whole replication. Throughput is in
// items per second, an item being one sample (one shuffle, one query) or one table.
//   build/bench/monocount_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <span>
#include <vector>

#include "estimation/classic/binomial_tails.hpp"
#include "estimation/classic/classic_sequence_estimator.hpp"
#include "estimation/randomness/random_source.hpp"
#include "problem/cover_index.hpp"
#include "problem/problem.hpp"
#include "support/formulas.hpp"
#include "support/reference_estimator.hpp"

namespace monocount::bench {
namespace {

using support::gridVertexCover;
using support::randomMonotoneCnf;
using support::toProblem;
namespace reference = support::reference;

// The formulas of the speed targets, by benchmark argument.
struct Named {
  const char* name;
  Problem problem;
};

std::vector<Named>& formulas() {
  static std::vector<Named> all = [] {
    std::vector<Named> list;
    list.push_back({"grid 31x31 (961 vars, 1860 clauses)", toProblem(gridVertexCover(31, 31))});
    list.push_back({"3-CNF 1000 vars, 4000 clauses", toProblem(randomMonotoneCnf(1000, 4000, 3, 1))});
    list.push_back({"3-CNF 200 vars, 2000 clauses", toProblem(randomMonotoneCnf(200, 2000, 3, 2))});
    return list;
  }();
  return all;
}

Named& formulaOf(const benchmark::State& state) {
  Named& named = formulas()[static_cast<std::size_t>(state.range(0))];
  return named;
}

std::vector<std::int32_t> identity(std::int64_t n) {
  std::vector<std::int32_t> order(static_cast<std::size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  return order;
}

// A pool of shuffled orders for the cover queries, so the query, not the shuffle, is timed.
std::vector<std::vector<std::int32_t>> orderPool(std::int32_t n) {
  RandomSource source(7);
  std::vector<std::int32_t> order = identity(n);
  std::vector<std::vector<std::int32_t>> pool;
  for (int i = 0; i < 256; ++i) {
    shuffleOrder(order, source);
    pool.push_back(order);
  }
  return pool;
}

// --- Shuffle: items = shuffles of an n-element order.

void BM_ShuffleOrder(benchmark::State& state) {
  std::vector<std::int32_t> order = identity(state.range(0));
  RandomSource source(1);
  for (auto _ : state) {
    shuffleOrder(order, source);
    benchmark::DoNotOptimize(order.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_OrderShuffler(benchmark::State& state) {
  std::vector<std::int32_t> order = identity(state.range(0));
  RandomSource source(1);
  const OrderShuffler shuffler(static_cast<std::int32_t>(state.range(0)));
  for (auto _ : state) {
    shuffler.shuffle(order, source);
    benchmark::DoNotOptimize(order.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_ReferenceShuffle(benchmark::State& state) {
  std::vector<std::int32_t> order = identity(state.range(0));
  std::srand(1);
  reference::RuntimeRand runtime;
  for (auto _ : state) {
    shuffleOrder(order, runtime);
    benchmark::DoNotOptimize(order.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_ShuffleOrder)->Arg(200)->Arg(1000)->Arg(100000);
BENCHMARK(BM_OrderShuffler)->Arg(200)->Arg(1000)->Arg(100000);
BENCHMARK(BM_ReferenceShuffle)->Arg(200)->Arg(1000)->Arg(100000);

// --- Cover query: items = queries on random orders.

void BM_CoverIndexCoverPosition(benchmark::State& state) {
  Named& named = formulaOf(state);
  const auto pool = orderPool(named.problem.variableCount);
  CoverIndex index(named.problem);
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(index.coverPositionOfPermutation(pool[next].data()));
    next = (next + 1) % pool.size();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(named.name);
}

void BM_ReferenceCoverPosition(benchmark::State& state) {
  Named& named = formulaOf(state);
  const auto pool = orderPool(named.problem.variableCount);
  reference::PlainFormula plain(named.problem);
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(plain.coverPosition(pool[next]));
    next = (next + 1) % pool.size();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(named.name);
}

BENCHMARK(BM_CoverIndexCoverPosition)->DenseRange(0, 2);
BENCHMARK(BM_ReferenceCoverPosition)->DenseRange(0, 2);

// --- Tail table: items = tables of n + 1 entries.

void BM_BinomialTails(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(fastBinomialTails(n));
  state.SetItemsProcessed(state.iterations());
}

void BM_ReferenceBinomialTails(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(binomialTails(n));
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_BinomialTails)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferenceBinomialTails)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// --- One replication of 1000 samples: items = samples. The product's per-run set-up (tail
// table, index, shuffler) is outside the loop; the reference rebuilds its table every call.

constexpr std::int32_t kReplicationSamples = 1000;

void BM_EstimateModelCount(benchmark::State& state) {
  Named& named = formulaOf(state);
  ClassicSequenceEstimator estimator(named.problem, 1);
  for (auto _ : state) benchmark::DoNotOptimize(estimator.estimateModelCount(kReplicationSamples));
  state.SetItemsProcessed(state.iterations() * kReplicationSamples);
  state.SetLabel(named.name);
}

void BM_ReferenceEstimateModelCount(benchmark::State& state) {
  Named& named = formulaOf(state);
  reference::PlainFormula plain(named.problem);
  std::srand(1);
  for (auto _ : state) {
    double relativeError = 0.0;
    benchmark::DoNotOptimize(reference::estimateModelCount(kReplicationSamples, plain, relativeError));
    benchmark::DoNotOptimize(relativeError);
  }
  state.SetItemsProcessed(state.iterations() * kReplicationSamples);
  state.SetLabel(named.name);
}

BENCHMARK(BM_EstimateModelCount)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceEstimateModelCount)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace monocount::bench
