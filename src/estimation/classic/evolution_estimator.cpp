#include "estimation/classic/evolution_estimator.hpp"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "estimation/known_count.hpp"
#include "estimation/randomness/derived_streams.hpp"

namespace monocount {

namespace {

// -ln(falsity), from whichever chance keeps its digits: ln(1 - truth) by log1p while the
// falsity is above 1/2 (a chance of true of 1e-12 gives the rate 1e-12), ln(falsity) below.
double rateOf(double truth, double falsity) { return falsity > 0.5 ? -std::log1p(-truth) : -std::log(falsity); }

}  // namespace

EvolutionEstimator::EvolutionEstimator(const Problem& problem, const VariableProbabilities& law, std::uint32_t seed,
                                       const Parallelism& parallelism)
    : problem_(needsSampling(problem)),
      seed_(seed),
      threads_(std::max(parallelism.threads, 1)),
      ranks_(parallelism.ranks != nullptr ? parallelism.ranks : &alone_),
      stop_(parallelism.stop),
      occurrences_(problem),
      workers_(threads_) {
  const auto n = static_cast<std::size_t>(problem.variableCount);
  const auto m = static_cast<std::size_t>(problem.clauseCount);
  // Each clause's distinct variables, in increasing order, from the variables' lists.
  clauseBegin_.assign(m + 1, 0);
  for (const std::int32_t c : occurrences_.clauses) ++clauseBegin_[static_cast<std::size_t>(c) + 1];
  for (std::size_t c = 1; c <= m; ++c) clauseBegin_[c] += clauseBegin_[c - 1];
  clauseVariables_.resize(occurrences_.clauses.size());
  std::vector<std::uint32_t> cursor(clauseBegin_.begin(), clauseBegin_.end() - 1);
  rates_.resize(n);
  meanTimes_.resize(n);
  for (std::size_t v = 0; v < n; ++v) {
    for (std::uint32_t i = occurrences_.begin[v]; i < occurrences_.begin[v + 1]; ++i) {
      clauseVariables_[cursor[static_cast<std::size_t>(occurrences_.clauses[i])]++] = static_cast<std::int32_t>(v);
    }
    // A variable of no clause changes nothing: it never enters the process.
    if (occurrences_.begin[v + 1] > occurrences_.begin[v]) inClauses_.push_back(static_cast<std::int32_t>(v));
    const auto index = static_cast<std::int32_t>(v);
    rates_[v] = rateOf(law.truth(index), law.falsity(index));
    meanTimes_[v] = 1.0L / static_cast<long double>(rates_[v]);
  }
  if (n <= 64) {
    clauseMasks_.assign(m, 0);
    for (std::size_t c = 0; c < m; ++c) {
      for (std::uint32_t at = clauseBegin_[c]; at < clauseBegin_[c + 1]; ++at) {
        clauseMasks_[c] |= std::uint64_t{1} << clauseVariables_[at];
      }
    }
  }
}

MemoryNeed EvolutionEstimator::memoryNeeded(const Problem& problem, std::int32_t sampleSize, std::int32_t workers) {
  const auto n = static_cast<std::uint64_t>(problem.variableCount);
  const auto m = static_cast<std::uint64_t>(problem.clauseCount);
  const std::uint64_t occurrences = problem.literals.size();
  const std::int64_t perBlock = samplesPerBlock(problem.variableCount);
  const std::int64_t blocks = (std::max(sampleSize, 1) + perBlock - 1) / perBlock;
  const auto busy = static_cast<std::uint64_t>(std::clamp<std::int64_t>(blocks, 1, std::max(workers, 1)));
  // Shared: both lists of the formula and the clause masks, the rates and mean times. Each busy
  // worker: its arrivals, positions or byte tables, stages and the tails' scratch (in double
  // and long double).
  return {.tables = 8 * occurrences + 16 * m + 32 * n + busy * (400 * n + 4 * m + 4096),
          .samples = static_cast<std::uint64_t>(blocks) * sizeof(BlockStatistics)};
}

std::int64_t EvolutionEstimator::samplesPerBlock(std::int32_t variableCount) {
  const std::int64_t n = std::max<std::int64_t>(variableCount, 1);
  return (std::int64_t{1} << 16) / n + ((std::int64_t{1} << 16) % n != 0 ? 1 : 0);
}

EvolutionEstimator::Worker EvolutionEstimator::makeWorker() const {
  const auto n = static_cast<std::size_t>(problem_.variableCount);
  Worker worker;
  worker.arrivals.resize(inClauses_.size());
  worker.stageAt.resize(inClauses_.size());
  if (clauseMasks_.empty()) {
    worker.position.resize(n);
    worker.first.resize(static_cast<std::size_t>(problem_.clauseCount));
  } else {
    worker.bitOf.resize(n);
    worker.byteTables.resize(256 * ((n + 7) / 8));
    worker.touchedAt.resize(64);
  }
  worker.leaving.resize(n);
  worker.stageRates.resize(n);
  worker.tails.reserve(n);
  return worker;
}

StageTails EvolutionEstimator::sample(Worker& worker, SplitEngine& engine) const {
  // The arrival times, in increasing order (ties, of chance about 2^-53, by index).
  Arrival* arrivals = worker.arrivals.data();
  const std::size_t count = inClauses_.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::int32_t v = inClauses_[i];
    const double exponential = -std::log(1.0 - engine.unit());
    arrivals[i] = {static_cast<long double>(exponential) * meanTimes_[static_cast<std::size_t>(v)], v};
  }
  std::sort(arrivals, arrivals + count, [](const Arrival& a, const Arrival& b) {
    return a.time < b.time || (a.time == b.time && a.variable < b.variable);
  });

  const std::size_t stages = clauseMasks_.empty() ? walkByPositions(worker) : walkByMasks(worker);

  // R_j: the rates of the variables that leave in stage j or later, summed from the last stage
  // back (sums of positive terms only, so a small R_j keeps its digits).
  const double* leaving = worker.leaving.data();
  double* stageRates = worker.stageRates.data();
  double rate = 0.0;
  for (std::size_t j = stages; j-- > 0;) {
    rate += leaving[j];
    stageRates[j] = rate;
  }
  return worker.tails.tails({stageRates, stages});
}

std::size_t EvolutionEstimator::walkByPositions(Worker& worker) const {
  // A clause is first touched by its earliest variable, which therefore opens a stage; a
  // variable opens one exactly when it is the earliest of some clause (its other clauses may
  // have been touched before, but that one was not). A variable leaves the process in the
  // stage where the last of its clauses is first touched.
  const Arrival* arrivals = worker.arrivals.data();
  const auto count = static_cast<std::int32_t>(worker.arrivals.size());
  std::int32_t* position = worker.position.data();
  for (std::int32_t i = 0; i < count; ++i) position[arrivals[i].variable] = i;
  std::int32_t* stageAt = worker.stageAt.data();
  std::fill(stageAt, stageAt + count, -1);
  std::int32_t* first = worker.first.data();
  const std::int32_t* variables = clauseVariables_.data();
  for (std::size_t c = 0; c + 1 < clauseBegin_.size(); ++c) {
    std::int32_t earliest = count;
    for (std::uint32_t at = clauseBegin_[c]; at < clauseBegin_[c + 1]; ++at) {
      earliest = std::min(earliest, position[variables[at]]);
    }
    first[c] = earliest;
    stageAt[earliest] = 0;
  }
  std::int32_t stages = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    if (stageAt[i] == 0) stageAt[i] = ++stages;  // stage numbers from 1 here
  }
  double* leaving = worker.leaving.data();
  std::fill(leaving, leaving + stages, 0.0);
  for (const std::int32_t v : inClauses_) {
    const auto at = static_cast<std::size_t>(v);
    std::int32_t last = 0;
    for (std::uint32_t o = occurrences_.begin[at]; o < occurrences_.begin[at + 1]; ++o) {
      last = std::max(last, first[occurrences_.clauses[o]]);
    }
    leaving[stageAt[last] - 1] += rates_[at];
  }
  return static_cast<std::size_t>(stages);
}

template <std::size_t Bytes>
void EvolutionEstimator::orderClauses(const std::uint64_t* table, std::uint64_t* touchedAt) const {
  const std::uint64_t* masks = clauseMasks_.data();
  const std::size_t clauses = clauseMasks_.size();
  for (std::size_t c = 0; c < clauses; ++c) {
    const std::uint64_t mask = masks[c];
    std::uint64_t ordered = 0;
    for (std::size_t b = 0; b < Bytes; ++b) ordered |= table[256 * b + ((mask >> (8 * b)) & 255)];
    touchedAt[__builtin_ctzll(ordered)] |= ordered;
  }
}

std::size_t EvolutionEstimator::walkByMasks(Worker& worker) const {
  // The same walk with each clause a bit mask, moved into the sample's order: bit i stands for
  // the i-th arrival, by one table lookup per byte of the mask. The lowest bit of a clause is
  // its earliest variable, and a variable leaves in the stage of the latest clause holding it,
  // found from the union of the clauses first touched at each position, latest first.
  const Arrival* arrivals = worker.arrivals.data();
  const std::size_t count = worker.arrivals.size();
  std::uint64_t* bitOf = worker.bitOf.data();  // per variable, its bit in the order (0: in no clause)
  std::fill(worker.bitOf.begin(), worker.bitOf.end(), 0);
  for (std::size_t i = 0; i < count; ++i) bitOf[arrivals[i].variable] = std::uint64_t{1} << i;
  const std::size_t bytes = (worker.bitOf.size() + 7) / 8;
  std::uint64_t* table = worker.byteTables.data();  // 256 entries per byte of a mask
  for (std::size_t b = 0; b < bytes; ++b) {
    std::uint64_t* entries = table + 256 * b;
    entries[0] = 0;
    for (std::size_t x = 1; x < 256; ++x) {
      const std::size_t v = 8 * b + static_cast<std::size_t>(__builtin_ctzll(x));
      entries[x] = entries[x & (x - 1)] | (v < worker.bitOf.size() ? bitOf[v] : 0);
    }
  }
  std::uint64_t* touchedAt = worker.touchedAt.data();
  std::fill(worker.touchedAt.begin(), worker.touchedAt.end(), 0);
  switch (bytes) {
    case 1: orderClauses<1>(table, touchedAt); break;
    case 2: orderClauses<2>(table, touchedAt); break;
    case 3: orderClauses<3>(table, touchedAt); break;
    case 4: orderClauses<4>(table, touchedAt); break;
    case 5: orderClauses<5>(table, touchedAt); break;
    case 6: orderClauses<6>(table, touchedAt); break;
    case 7: orderClauses<7>(table, touchedAt); break;
    default: orderClauses<8>(table, touchedAt); break;
  }
  std::int32_t stages = 0;
  std::int32_t* stageAt = worker.stageAt.data();
  for (std::size_t i = 0; i < count; ++i) {
    stageAt[i] = touchedAt[i] != 0 ? stages++ : -1;
  }
  double* leaving = worker.leaving.data();
  std::uint64_t gone = 0;
  for (std::size_t i = count; i-- > 0;) {
    if (stageAt[i] < 0) continue;
    double left = 0.0;
    for (std::uint64_t fresh = touchedAt[i] & ~gone; fresh != 0; fresh &= fresh - 1) {
      left += rates_[static_cast<std::size_t>(arrivals[__builtin_ctzll(fresh)].variable)];
    }
    gone |= touchedAt[i];
    leaving[stageAt[i]] = left;
  }
  return static_cast<std::size_t>(stages);
}

void EvolutionEstimator::runBlock(Worker& worker, std::uint32_t replication, std::int64_t block,
                                  std::size_t sampleCount) {
  const std::int64_t perBlock = samplesPerBlock(problem_.variableCount);
  const auto first = static_cast<std::size_t>(block * perBlock);
  const std::size_t end = std::min(sampleCount, first + static_cast<std::size_t>(perBlock));
  SplitEngine engine = derivedEngine({.seed = seed_, .use = StreamUse::samples, .replication = replication,
                                      .block = static_cast<std::uint64_t>(block)});
  BlockStatistics statistics;
  for (std::size_t s = first; s < end; ++s) {
    const StageTails tails = sample(worker, engine);
    statistics.holds.add(tails.within);
    statistics.fails.add(tails.beyond);
  }
  blocks_[static_cast<std::size_t>(block)] = statistics;
}

Replication EvolutionEstimator::estimateModelCount(std::int32_t sampleSize) {
  const std::uint32_t replication = replication_++;
  const auto sampleCount = static_cast<std::size_t>(std::max(sampleSize, 1));
  const auto asked = static_cast<std::int64_t>(sampleCount);
  const std::int64_t blocks = blocksFor(asked, samplesPerBlock(problem_.variableCount));
  runTogether(*ranks_, [&] {
    blocks_.assign(static_cast<std::size_t>(blocks), BlockStatistics{});
    runShare(*ranks_, blocks, asked, threads_, onProgress, stop_, [&](std::int32_t w, std::int64_t block) {
      Worker& worker = workers_.get(w, [&] { return makeWorker(); });
      runBlock(worker, replication, block, sampleCount);
    });
  });
  // Every rank filled in the blocks of its share (those it did not run, cut short, stay empty).
  static_assert(std::is_trivially_copyable_v<BlockStatistics>);
  ranks_->share(blocks_.data(), sizeof(BlockStatistics), blocks);
  BlockStatistics total;
  for (const BlockStatistics& statistics : blocks_) {
    total.holds.merge(statistics.holds);
    total.fails.merge(statistics.fails);
  }
  const auto drawn = static_cast<std::uint64_t>(total.holds.count());
  const bool interrupted = onAnyRank(*ranks_, stop_ != nullptr && stop_->reason() == StopReason::interrupted);
  if (drawn == 0 || interrupted) {
    return Replication::cutShort(interrupted ? StopReason::interrupted : StopReason::timeLimit);
  }
  const WideReal samples(static_cast<double>(drawn));
  const auto relativeError = [&](const RunningStatistics& side) {
    return relativeStandardError(side.squares(), samples, side.mean()).toDouble();
  };
  LawAnswer answer{.holds = total.holds.mean(),
                   .fails = total.fails.mean(),
                   .holdsRelativeError = relativeError(total.holds),
                   .failsRelativeError = relativeError(total.fails)};
  Replication result;
  result.estimate = answer.holds;
  result.relativeError = answer.holdsRelativeError;
  result.complement = answer.fails;
  result.complementRelativeError = answer.failsRelativeError;
  result.samples = drawn;
  if (drawn < sampleCount) result.stopped = StopReason::timeLimit;
  result.laws.push_back(answer);
  return result;
}

}  // namespace monocount
