#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "estimation/exact/elimination_order.hpp"
#include "estimation/exact/elimination_tree.hpp"
#include "problem/problem.hpp"
#include "problem/variable_probabilities.hpp"

namespace monocount {

// How N(k), the satisfying sets of each size, are computed when asked for: as exact integers;
// in extended-range floating point (a double mantissa and a 32-bit binary exponent per number:
// every N(k) to a relative error the result bounds, far cheaper on formulas of many thousands
// of variables, whose exact spectrum holds about n^2 / 2 bits of digits); or exactly unless
// the plan estimates that at more than a second and four times the floating one.
enum class SpectrumMode { none, exact, floating, cheaper };

// What the exact counter is asked for, and within which limits.
struct ExactSettings {
  // The widest decomposition accepted (largest bag minus one), at most 63: a state of a bag is
  // a 64-bit mask.
  std::int32_t maxWidth = 63;
  // The bytes the tables may hold at once; 0: no limit.
  std::uint64_t memoryLimit = 0;
  // Time for finding the decomposition (all heuristics together), in seconds.
  double decompositionSeconds = 5.0;
  // Threads for the large tables (>= 1); the digits are the same for any number.
  std::int32_t threads = 1;
  // A table of more than two blocks of this many states is shared out between the threads
  // block by block.
  std::size_t blockStates = 1024;
  // Also N(k), the satisfying sets of each size k = 0 .. n.
  SpectrumMode spectrum = SpectrumMode::none;
  // Also, for each law, the probability that the formula holds and that it fails.
  std::vector<VariableProbabilities> laws;
};

// Limbs (64-bit words) of one state's value at a node with `subtree` variables at or below it.
// Its count is at most 2^subtree: subtree + 1 bits.
inline std::size_t countLimbs(std::int32_t subtree) { return static_cast<std::size_t>(subtree) / 64 + 1; }
// The spectrum is held as one integer whose slot k (of spectrumSlotLimbs limbs) is the number
// of sets of size k; every such number, at every node, is at most C(n, k) < 2^n for n >= 1.
inline std::size_t spectrumSlotLimbs(std::int32_t variables) { return (static_cast<std::size_t>(variables) + 63) / 64; }
inline std::size_t spectrumLimbs(std::int32_t subtree, std::int32_t variables) {
  return (static_cast<std::size_t>(subtree) + 1) * spectrumSlotLimbs(variables);
}
// Bytes of one number of the floating spectrum.
constexpr std::size_t kFloatingNumberBytes = 16;

// One elimination heuristic's result, for the report: its width (for an order given up, the
// width when it stopped) and the estimated seconds of the dynamic programme over it.
struct DecompositionCandidate {
  EliminationHeuristic heuristic = EliminationHeuristic::minDegree;
  std::int32_t width = 0;
  bool complete = false;   // false: stopped beyond maxWidth or out of time
  bool outOfTime = false;
  double seconds = 0.0;    // estimated CPU seconds (complete orders only; 0 beyond the memory limit)
  std::uint64_t bytes = 0;  // estimated peak bytes (complete orders only; UINT64_MAX beyond the memory limit)
};

// The decomposition the exact counter would use and what its tables would cost, found without
// running the dynamic programme: every heuristic is tried within the time allowed, and the
// complete order of smaller estimated time is kept (of smaller width on a tie).
struct ExactPlan {
  // Decided without any table: some clause is empty (no satisfying set).
  bool emptyClause = false;
  // The kept decomposition's width; when none was found within the limits, the smallest width
  // an order reached before it was given up.
  std::int32_t width = 0;
  EliminationHeuristic heuristic = EliminationHeuristic::minDegree;
  std::vector<DecompositionCandidate> candidates;
  // States of the largest table, and of all tables together.
  double largestTable = 0.0;
  double totalStates = 0.0;
  // Peak bytes of the tables and values held at once (the largest of the passes asked for),
  // the spectrum's digits included; the formula and the tree come on top (treeBytes).
  std::uint64_t bytes = 0;
  std::uint64_t treeBytes = 0;
  // Estimated CPU seconds of all passes asked for, on one thread.
  double seconds = 0.0;
  // How the spectrum will be computed (exact or floating; none when not asked for).
  SpectrumMode spectrum = SpectrumMode::none;
  // Seconds the planning took.
  double planSeconds = 0.0;
  // Empty when the counter may run; otherwise why it would not, naming the width and the need.
  std::string refusal;
  // The decomposition (null when refused or decided).
  std::shared_ptr<const EliminationTree> tree;
};

// Finds the decomposition of `problem` and estimates its cost for `settings`.
ExactPlan planExact(const Problem& problem, const ExactSettings& settings);

// Thrown by the exact counter instead of running out of memory or time: its message names the
// width found and what the tables would need.
class ExactRefusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "1.5 GB", "870 MB", "12 kB": bytes for the messages.
std::string byteText(double bytes);

}  // namespace monocount
