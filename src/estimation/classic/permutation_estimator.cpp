#include "estimation/classic/permutation_estimator.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>

#include "estimation/classic/binomial_tails.hpp"
#include "estimation/numerics/wide_binomials.hpp"
#include "estimation/randomness/derived_streams.hpp"

namespace monocount {

namespace {

// No clause, or an empty one: every order scores the same known count, so no table is built.
bool degenerate(const Problem& problem) { return problem.clauseCount == 0 || !problem.everyClauseTouchable(); }

const Problem kNoFormula;

}  // namespace

PermutationEstimator::PermutationEstimator(const Problem& problem, std::uint32_t seed)
    : PermutationEstimator(problem, seed, nullptr) {}

// On block streams (`parallelism` set) the workers have their own index and order, so the
// classic ones stay empty.
PermutationEstimator::PermutationEstimator(const Problem& problem, std::uint32_t seed, const Parallelism* parallelism)
    : problem_(problem),
      source_(seed),
      index_(degenerate(problem) || parallelism != nullptr ? kNoFormula : problem),
      shuffler_(degenerate(problem) ? 0 : problem.variableCount),
      tails_(degenerate(problem) ? std::vector<double>() : binomialTails(problem.variableCount)),
      counts_(tails_.size()),
      order_(degenerate(problem) || parallelism != nullptr ? 0
                                                           : static_cast<std::size_t>(std::max(problem.variableCount, 0))),
      noClauses_(problem.clauseCount == 0),
      unsatisfiable_(!problem.everyClauseTouchable()) {
  for (std::size_t k = 0; k < tails_.size(); ++k) {
    if (std::isinf(tails_[k])) lastInfiniteTail_ = static_cast<std::int32_t>(k);
  }
  squares_.resize(tails_.size());
}

MemoryNeed PermutationEstimator::memoryNeeded(const Problem& problem, std::int32_t sampleSize,
                                               std::int32_t blockWorkers) {
  if (degenerate(problem)) return {};
  const auto n = static_cast<std::uint64_t>(problem.variableCount);
  const std::uint64_t m = static_cast<std::uint64_t>(problem.clauseCount);
  const std::uint64_t occurrences = problem.literals.size();
  // Per variable: the cover index's lists, stamps and positions (12), the shuffler's bound (16),
  // the order (4), the tail, square and count tables (24) and the extended-range tails (16);
  // per clause the index's four arrays; per occurrence its two copies. While the tables are
  // built, scratch space of about 16 bytes per variable comes on top (measured peaks: 85 bytes
  // per variable on one stream, 93 on block streams, for a formula of 10^7 variables).
  const std::uint64_t width = n <= 0xFF ? 1 : n <= 0xFFFF ? 2 : 4;
  const std::uint64_t tables = 88 * n + 16 * m + 8 * occurrences;
  if (blockWorkers <= 0) return {.tables = tables, .samples = width * static_cast<std::uint64_t>(std::max(sampleSize, 0))};
  // The shuffler's bounds and the tail tables are shared; every worker that gets a block has its
  // own index, order and counts.
  const auto workers = static_cast<std::uint64_t>(std::clamp<std::int64_t>(
      (std::max(sampleSize, 1) + samplesPerBlock(problem.variableCount) - 1) / samplesPerBlock(problem.variableCount), 1,
      blockWorkers));
  return {.tables = 72 * n + workers * (24 * n + 16 * m + 8 * occurrences), .samples = 0};
}

PermutationEstimator::PermutationEstimator(const Problem& problem, std::uint32_t seed, const Parallelism& parallelism)
    : PermutationEstimator(problem, seed, &parallelism) {
  blockStreams_ = true;
  seed_ = seed;
  threads_ = std::max(parallelism.threads, 1);
  if (parallelism.ranks != nullptr) ranks_ = parallelism.ranks;
  workers_ = WorkerStates<Worker>(threads_);
  if (!noClauses_ && !unsatisfiable_) wideTails_ = wideBinomialTails(problem.variableCount);
}

std::int64_t PermutationEstimator::samplesPerBlock(std::int32_t variableCount) {
  const std::int64_t n = std::max<std::int64_t>(variableCount, 1);
  return (std::int64_t{1} << 16) / n + ((std::int64_t{1} << 16) % n != 0 ? 1 : 0);
}

Replication PermutationEstimator::estimateModelCount(std::int32_t sampleSize) {
  const std::size_t sampleCount = sampleSize > 0 ? static_cast<std::size_t>(sampleSize) : 0;
  Replication result;
  if (sampleCount > 0 && (noClauses_ || unsatisfiable_)) {
    // Every order scores the same exact count: every assignment (the empty prefix already
    // covers), or none (no prefix covers).
    result.estimate = noClauses_ ? WideReal::powerOfTwo(problem_.variableCount) : WideReal(0.0);
    result.coverLengths.samples = sampleCount;
    if (noClauses_) result.coverLengths.counts.assign(1, sampleCount);
    ++replication_;
    return result;
  }
  if (blockStreams_) return estimateFromBlocks(sampleCount);
  const std::int32_t n = problem_.variableCount;
  std::int32_t shortest = n;
  if (n <= 0xFF) {
    result.estimate = sampleAndScore(sampleCount, result.relativeError, lengths8_, shortest);
  } else if (n <= 0xFFFF) {
    result.estimate = sampleAndScore(sampleCount, result.relativeError, lengths16_, shortest);
  } else {
    result.estimate = sampleAndScore(sampleCount, result.relativeError, lengths32_, shortest);
  }
  result.coverLengths = coverLengths(sampleCount, shortest);
  return result;
}

// The samples per cover length, from counts_, trimmed to the lengths that occurred (none is
// below `shortest`).
CoverLengthCounts PermutationEstimator::coverLengths(std::size_t sampleCount, std::int32_t shortest) const {
  CoverLengthCounts lengths;
  lengths.samples = sampleCount;
  std::int32_t longest = problem_.variableCount;
  while (sampleCount > 0 && longest >= shortest && counts_[static_cast<std::size_t>(longest)] == 0) --longest;
  if (sampleCount > 0 && longest >= shortest) {
    lengths.first = shortest;
    lengths.counts.assign(counts_.begin() + shortest, counts_.begin() + longest + 1);
  }
  return lengths;
}

template <typename Length>
WideReal PermutationEstimator::sampleAndScore(std::size_t sampleCount, double& relativeError,
                                              std::vector<Length>& lengths, std::int32_t& shortest) {
  lengths.resize(sampleCount);
  std::iota(order_.begin(), order_.end(), 0);
  const std::span<std::int32_t> order(order_);
  const std::int32_t n = problem_.variableCount;
  // Roughly 2^24 variable steps between two progress reports.
  const std::size_t chunk = std::max<std::size_t>(1, (std::size_t{1} << 24) / static_cast<std::size_t>(n));
  shortest = n;
  for (std::size_t done = 0; done < sampleCount;) {
    const std::size_t end = std::min(sampleCount, done + chunk);
    for (std::size_t sample = done; sample < end; ++sample) {
      shuffler_.shuffle(order, source_);
      const std::int32_t length = index_.coverPositionOfPermutation(order_.data()) + 1;
      lengths[sample] = static_cast<Length>(length);
      shortest = std::min(shortest, length);
    }
    done = end;
    if (onProgress) onProgress(static_cast<double>(done));
  }

  // The classic statistics, in the classic order of operations: the mean of the scores, the
  // population standard deviation around it, and the standard error relative to the mean.
  // The scores are looked up again rather than stored, which gives the same sums. The samples
  // per cover length are counted on the way (in the shadow of the sum's latency).
  const double count = static_cast<double>(sampleCount);
  std::fill(counts_.begin(), counts_.end(), 0);
  if (shortest <= lastInfiniteTail_) {
    for (const Length length : lengths) ++counts_[length];
    return scoreWide(lengths, relativeError, nullptr);
  }
  double sum = 0.0;
  for (const Length length : lengths) {
    sum += tails_[length];
    ++counts_[length];
  }
  const double mean = sum / count;
  if (std::isinf(mean)) return scoreWide(lengths, relativeError, nullptr);
  // Without samples (the only case that reaches here without tables) nothing is looked up.
  for (std::int32_t length = shortest; length <= n && sampleCount > 0; ++length) {
    const double deviation = tails_[static_cast<std::size_t>(length)] - mean;
    squares_[static_cast<std::size_t>(length)] = deviation * deviation;
  }
  double squares = 0.0;
  for (const Length length : lengths) squares += squares_[length];
  if (std::isinf(squares)) return scoreWide(lengths, relativeError, &mean);
  const double deviation = std::sqrt(squares / count);
  relativeError = deviation / (std::sqrt(count) * mean);
  return mean;
}

// The same statistics where the classic arithmetic overflows: scores from the extended-range
// table, summed per cover length. When the classic mean itself stayed finite it is kept, so
// only the relative error differs from the classic result. Needs counts_ filled.
template <typename Length>
WideReal PermutationEstimator::scoreWide(const std::vector<Length>& lengths, double& relativeError,
                                         const double* classicMean) {
  const std::int32_t n = problem_.variableCount;
  if (wideTails_.empty()) wideTails_ = wideBinomialTails(n);
  return countStatistics(lengths.size(), relativeError, classicMean);
}

// The statistics of `sampleCount` scores given as samples per cover length in counts_.
WideReal PermutationEstimator::countStatistics(std::size_t sampleCount, double& relativeError,
                                               const double* classicMean) {
  const WideReal count(static_cast<double>(sampleCount));
  std::size_t distinct = 0;
  std::size_t only = 0;
  for (std::size_t length = 1; length < counts_.size(); ++length) {
    if (counts_[length] != 0) ++distinct, only = length;
  }
  if (distinct == 1 && classicMean == nullptr) {
    // Identical scores: their mean is the score itself and they deviate by nothing.
    relativeError = 0.0;
    return wideTails_[only];
  }
  WideReal sum;
  for (std::size_t length = 1; length < counts_.size(); ++length) {
    if (counts_[length] != 0) sum += wideTails_[length] * WideReal(static_cast<double>(counts_[length]));
  }
  const WideReal mean = classicMean != nullptr ? WideReal(*classicMean) : sum / count;
  WideReal squares;
  for (std::size_t length = 1; length < counts_.size(); ++length) {
    if (counts_[length] == 0) continue;
    const WideReal deviation = wideTails_[length] - mean;
    squares += deviation * deviation * WideReal(static_cast<double>(counts_[length]));
  }
  relativeError = (sqrt(squares / count) / (sqrt(count) * mean)).toDouble();
  return mean;
}

PermutationEstimator::Worker PermutationEstimator::makeWorker() const {
  Worker state{.index = std::nullopt,
               .order = std::vector<std::int32_t>(static_cast<std::size_t>(problem_.variableCount)),
               .counts = std::vector<std::uint64_t>(static_cast<std::size_t>(problem_.variableCount) + 1, 0)};
  state.index.emplace(problem_);
  return state;
}

void PermutationEstimator::runBlock(Worker& worker, std::uint32_t replication, std::int64_t block,
                                    std::size_t sampleCount) {
  const std::int64_t perBlock = samplesPerBlock(problem_.variableCount);
  const auto first = static_cast<std::size_t>(block * perBlock);
  const std::size_t end = std::min(sampleCount, first + static_cast<std::size_t>(perBlock));
  RandomSource source = derivedSource({.seed = seed_, .use = StreamUse::samples, .replication = replication,
                                       .block = static_cast<std::uint64_t>(block)});
  CoverIndex& index = *worker.index;
  const std::span<std::int32_t> order(worker.order);
  std::uint64_t* counts = worker.counts.data();
  for (std::size_t sample = first; sample < end; ++sample) {
    shuffler_.drawOrder(order, source);
    ++counts[index.coverPositionOfPermutation(order.data()) + 1];
  }
}

Replication PermutationEstimator::estimateFromBlocks(std::size_t sampleCount) {
  const std::uint32_t replication = replication_++;
  if (sampleCount == 0) {
    Replication none;
    none.estimate = none.relativeError = std::numeric_limits<double>::quiet_NaN();
    return none;
  }
  const std::int64_t perBlock = samplesPerBlock(problem_.variableCount);
  const auto blocks = static_cast<std::int64_t>((sampleCount + static_cast<std::size_t>(perBlock) - 1) /
                                                static_cast<std::size_t>(perBlock));
  const Share share = shareOf(blocks, ranks_->rank(), ranks_->size());
  runTogether(*ranks_, [&] {
    counts_.assign(static_cast<std::size_t>(problem_.variableCount) + 1, 0);
    BlockProgress progress(onProgress, share.end - share.first, static_cast<std::int64_t>(sampleCount));
    runBlocks(
        share.first, share.end, threads_,
        [&](std::int32_t w, std::int64_t block) {
          Worker& worker = workers_.get(w, [&] { return makeWorker(); });
          runBlock(worker, replication, block, sampleCount);
        },
        std::ref(progress));
    progress.finish();
    // Counts add up exactly, so the workers' sums are those of the blocks in block order.
    workers_.forEach([&](Worker& worker) {
      for (std::size_t length = 0; length < counts_.size(); ++length) counts_[length] += worker.counts[length];
      std::fill(worker.counts.begin(), worker.counts.end(), 0);
    });
  });
  ranks_->sum(counts_);
  Replication result;
  result.estimate = countStatistics(sampleCount, result.relativeError, nullptr);
  std::int32_t shortest = 1;
  while (counts_[static_cast<std::size_t>(shortest)] == 0) ++shortest;
  result.coverLengths = coverLengths(sampleCount, shortest);
  return result;
}

}  // namespace monocount
