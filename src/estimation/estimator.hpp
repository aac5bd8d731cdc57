#pragma once

#include <cstdint>
#include <optional>
#include <variant>

#include "estimation/classic/permutation_estimator.hpp"
#include "estimation/parallel/block_runner.hpp"
#include "estimation/replication.hpp"
#include "estimation/splitting/splitting_estimator.hpp"
#include "problem/problem.hpp"

namespace monocount {

// The estimation methods: crude, the classic permutation estimator; split, generalized
// splitting on the cover length, for formulas whose satisfying fraction is tiny.
enum class Method { crude, split };

// How the estimator runs: the method, the seed from which every generator the method uses is
// seeded, so that the seed fixes every replication, how the work is spread, and whether
// replications estimate N(k) for every size k (the crude estimator always yields its cover
// lengths, from which they follow; split counts its contributions per size only when asked,
// and draws the same numbers either way).
struct EstimatorSettings {
  Method method = Method::crude;
  std::uint32_t seed = 0;
  bool spectrum = false;
  // crude: draw from block streams instead of the classic single sequence (forced when more
  // than one rank shares the run). split always draws from block streams.
  bool blockStreams = false;
  // Worker threads per process and the ranks sharing the run, for block streams. The digits
  // do not depend on either.
  Parallelism parallelism{};
};

// The one way the driver runs replications, whatever the method: chosen once, seeded once,
// then asked for one replication after another. A new method is one more alternative here.
class Estimator {
 public:
  // Keeps a reference to `problem`, which must outlive the estimator.
  Estimator(const Problem& problem, const EstimatorSettings& settings);

  // About what the estimator of `settings.method` takes for `problem` with replications of
  // `sampleSize` samples (its tables, and what grows with the sample size).
  static MemoryNeed memoryNeeded(const Problem& problem, const EstimatorSettings& settings, std::int32_t sampleSize);

  // The next replication of `sampleSize` samples (roots, for split).
  Replication estimateModelCount(std::int32_t sampleSize);

  // Called now and then during a replication with the samples finished so far.
  void onProgress(ProgressCallback callback);

  // The levels and factors split runs on, once its first replication has placed them; none for
  // crude, before the first replication and on a formula whose count needs no sampling.
  std::optional<SplittingPlan> splittingPlan() const;

 private:
  using Methods = std::variant<PermutationEstimator, SplittingEstimator>;
  static Methods make(const Problem& problem, const EstimatorSettings& settings);
  Methods method_;
};

}  // namespace monocount
