#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "estimation/classic/block_stream_estimator.hpp"
#include "estimation/classic/classic_sequence_estimator.hpp"
#include "estimation/classic/evolution_estimator.hpp"
#include "estimation/exact/exact_estimator.hpp"
#include "estimation/exact/exact_plan.hpp"
#include "estimation/parallel/block_runner.hpp"
#include "estimation/replication.hpp"
#include "estimation/splitting/splitting_estimator.hpp"
#include "problem/problem.hpp"
#include "problem/variable_probabilities.hpp"

namespace monocount {

// The estimation methods: crude, split and exact, and auto, which chooses between exact and
// split (Estimator::choose).
enum class Method { crude, split, exact, automatic };

// One table of the methods, which the options (names and help), the factory below and every
// list of methods read: adding a method is one row here and its own files.
struct MethodEntry {
  Method method;
  const char* name;         // as --method takes it
  const char* description;  // for --help, after the name in parentheses
};
inline constexpr std::array<MethodEntry, 4> kMethods{{
    {Method::crude, "crude", "the classic one, the default"},
    {Method::split, "split", "a descent down the sizes of the satisfying sets, for small satisfying fractions"},
    {Method::exact, "exact", "an exact count over a tree decomposition, for formulas of small width"},
    {Method::automatic, "auto", "exact where the width allows it, split otherwise"},
}};

// The method's row of kMethods.
const MethodEntry& methodEntry(Method method);
// The method of that name, if any.
std::optional<Method> methodNamed(std::string_view name);

// What a split run was: its particles and walk steps per root, and the smallest satisfying
// set any of its roots reached.
struct SplitDescription {
  DescentSettings settings;
  std::int32_t smallestSize = 0;
};

// A weighted formula's own question: the law of its variables, and the constant factor (the
// product over the variables of w(x) + w(not x)) by which the chance that the formula holds
// becomes its weighted count.
struct FormulaWeights {
  VariableProbabilities law;
  WideReal factor;
};

// How the estimator runs: the method, the seed from which every generator the method uses is
// seeded, so that the seed fixes every replication, how the work is spread, and whether
// replications estimate N(k) for every size k (the crude estimator always yields its cover
// lengths, from which they follow; split counts its contributions per size only when asked,
// and draws the same numbers either way).
struct EstimatorSettings {
  Method method = Method::crude;
  std::uint32_t seed = 0;
  bool spectrum = false;
  // The laws under which the run asks how likely the formula holds (--probability), each of
  // one chance for all variables. crude answers both sides of each from every sample's cover
  // length; split through N(k) and F(k), weighed by the pool (ProbabilityPool), its failing
  // roots giving F(k) and both kinds of roots watching each chance before they stop walking.
  std::vector<VariableProbabilities> laws{};
  // crude: draw from block streams instead of the classic single sequence (forced when more
  // than one rank shares the run). split always draws from block streams.
  bool blockStreams = false;
  // Worker threads per process and the ranks sharing the run, for block streams. The digits
  // do not depend on either.
  Parallelism parallelism{};
  // A weighted formula: every replication then answers the weighted count (its estimate) and
  // the weight of the assignments that falsify the formula (its complement), each factor times
  // a chance under the law; `laws` must then be empty.
  std::optional<FormulaWeights> weights{};
  // split: the particles per root and walk steps per size, 0 and -1 for the choice made from
  // the formula (DescentSettings::forVariables).
  std::int32_t particles = 0;
  std::int32_t walkSteps = -1;
  // The exact method: the widest decomposition it takes, the memory its tables may use (0: no
  // limit), and, for auto, the estimated CPU seconds up to which it is chosen.
  std::int32_t maxWidth = 63;
  std::uint64_t memoryLimit = 0;
  double exactSecondsLimit = 60.0;
  // The exact counter's plan (Estimator::choose makes it); null for the other methods.
  std::shared_ptr<const ExactPlan> exactPlan{};
};

// The method a run takes and why: exact asked for (its plan, or the refusal), or auto's choice
// between exact and split; crude and split are taken as asked.
struct MethodChoice {
  Method method = Method::crude;
  std::shared_ptr<const ExactPlan> plan;
  // One sentence for standard error: the width found, the memory and time of the exact tables,
  // and (for auto) which method was taken; empty for crude and split.
  std::string reason;
  // Exact asked for and refused (width or memory beyond the limits): the message.
  std::string refusal;
};

// The one way the driver runs replications, whatever the method: chosen once, seeded once,
// then asked for one replication after another. The formulas whose count needs no sampling
// (knownCount: no clauses, or an empty clause) are decided here, so the estimators only ever
// see formulas they can sample; so are replications of no samples (N <= 0).
class Estimator {
 public:
  // Keeps a reference to `problem`, which must outlive the estimator.
  Estimator(const Problem& problem, const EstimatorSettings& settings);

  // About what the estimator of `settings.method` takes for `problem` with replications of
  // `sampleSize` samples (its tables, and what grows with the sample size); nothing for a
  // formula whose count is known.
  static MemoryNeed memoryNeeded(const Problem& problem, const EstimatorSettings& settings, std::int32_t sampleSize);

  // The method `settings` ask for as it will run: for exact and auto, the exact counter's plan
  // is made (within its time for finding a decomposition, a few seconds at most) and, for auto,
  // exact is taken when it may run within settings.exactSecondsLimit estimated CPU seconds, split
  // otherwise.
  static MethodChoice choose(const Problem& problem, const EstimatorSettings& settings);

  // The next replication of `sampleSize` samples (roots, for split).
  Replication estimateModelCount(std::int32_t sampleSize);

  // Called now and then during a replication with the samples finished so far.
  void onProgress(ProgressCallback callback);

  // What split runs with, and the smallest satisfying set its roots have reached so far; none
  // for crude.
  std::optional<SplitDescription> splitDescription() const;

 private:
  // A formula whose count needs no sampling: every replication is that count.
  struct Known {
    const Problem* problem;
    WideReal count;
    std::size_t laws;             // how many laws each replication answers
    ProgressCallback onProgress;  // never called: there is nothing to wait for
    Replication estimateModelCount(std::int32_t sampleSize) const;
  };
  using Methods = std::variant<Known, ClassicSequenceEstimator, BlockStreamEstimator, EvolutionEstimator,
                               SplittingEstimator, ExactEstimator>;
  static Methods make(const Problem& problem, const EstimatorSettings& settings);
  // A weighted formula's replication: factor times each side of its law's answer.
  Replication weighted(Replication replication) const;

  Method method_;
  std::int32_t variableCount_;
  std::optional<FormulaWeights> weights_;
  Methods estimator_;
};

}  // namespace monocount
