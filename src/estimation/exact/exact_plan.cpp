#include "estimation/exact/exact_plan.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "estimation/exact/state_table.hpp"
#include "estimation/numerics/wide_real.hpp"

namespace monocount {

namespace {

using Clock = std::chrono::steady_clock;

// The cost model, in nanoseconds on one core of the machine the README's figures come from
// (bench/exact.sh measures the estimate against the run): a node's fixed cost (its table and
// values set up and dropped); listing a state and testing its own clauses; finding a child's
// state in the child's table, a hash probe, dearer once the table outgrows the caches (a miss
// on the index, the key and the value); one limb of an addition; one limb product of a
// schoolbook multiplication; one law's extended-range operations per child and state.
constexpr double kNodeNs = 1500.0;
constexpr double kStateNs = 12.0;
constexpr double kLookupNs = 14.0;
constexpr double kFarLookupNs = 70.0;
constexpr double kCachedTableBytes = 1 << 20;
constexpr double kLimbNs = 0.45;
constexpr double kLimbProductNs = 0.35;
constexpr double kLawNs = 9.0;
constexpr double kFloatingNs = 2.0;

// Limb products of multiplying a limbs by b limbs with GMP: schoolbook for short operands,
// about the Toom-3 exponent beyond, never less than a few passes over the operands.
double multiplyCost(double a, double b) {
  if (a < b) std::swap(a, b);
  if (b <= 32.0) return a * b;
  return a / b * std::max(32.0 * b, std::pow(b, 1.465) * 2.5);
}

struct PassCost {
  double seconds = 0.0;
  double bytes = 0.0;
};

// Table bytes at the fullest moment of a pass whose values take valueBytes(node) bytes a state,
// and the seconds of its work.
template <typename ValueBytes, typename StateNs>
PassCost passCost(const EliminationTree& tree, const std::vector<double>& states, ValueBytes valueBytes,
                  StateNs stateNs) {
  PassCost cost;
  std::vector<double> held(states.size(), 0.0);
  double alive = 0.0;
  for (std::int32_t node = 0; node < tree.nodeCount(); ++node) {
    const auto i = static_cast<std::size_t>(node);
    held[i] = static_cast<double>(StateTable::bytesFor(static_cast<std::uint64_t>(states[i]))) + states[i] * valueBytes(node);
    alive += held[i];
    cost.bytes = std::max(cost.bytes, alive);
    double lookups = 0.0;
    for (const std::int32_t child : tree.children(node)) {
      const double childBytes = held[static_cast<std::size_t>(child)];
      alive -= childBytes;
      lookups += 2.0 * (childBytes > kCachedTableBytes ? kFarLookupNs : kLookupNs);
    }
    cost.seconds += (kNodeNs + states[i] * (kStateNs + lookups + stateNs(node))) * 1e-9;
  }
  return cost;
}

struct Estimate {
  double seconds = 0.0;
  double bytes = 0.0;
  double largest = 0.0;
  double total = 0.0;
  SpectrumMode spectrum = SpectrumMode::none;
};

Estimate estimate(const EliminationTree& tree, std::int32_t variables, const ExactSettings& settings, double stateLimit) {
  Estimate result;
  std::vector<double> states(static_cast<std::size_t>(tree.nodeCount()));
  for (std::int32_t node = 0; node < tree.nodeCount(); ++node) {
    const double count =
        StateTable::count(static_cast<std::int32_t>(tree.later(node).size()), tree.inside(node), stateLimit);
    states[static_cast<std::size_t>(node)] = count;
    result.largest = std::max(result.largest, count);
    result.total += count;
    if (count > stateLimit) {
      // Beyond the memory limit whatever the values take: not worth estimating further.
      result.bytes = std::numeric_limits<double>::infinity();
      result.seconds = std::numeric_limits<double>::infinity();
      return result;
    }
  }
  const auto threads = static_cast<double>(std::max(settings.threads, 1));
  // An integer pass: values of limbs(node) limbs; per state two additions of the node's length,
  // and the children's values multiplied when there are several.
  const auto integerPass = [&](auto limbs) {
    double scratch = 0.0;
    PassCost pass = passCost(
        tree, states, [&](std::int32_t node) { return 8.0 * static_cast<double>(limbs(node)); },
        [&](std::int32_t node) {
          const auto children = tree.children(node);
          double ns = 2.0 * static_cast<double>(limbs(node)) * kLimbNs;
          double product = children.empty() ? 1.0 : static_cast<double>(limbs(children[0]));
          for (std::size_t c = 1; c < children.size(); ++c) {
            const auto next = static_cast<double>(limbs(children[c]));
            ns += 2.0 * multiplyCost(product, next) * kLimbProductNs;
            product += next;
          }
          scratch = std::max(scratch, product);
          return ns;
        });
    pass.bytes += threads * 2.0 * 8.0 * scratch;
    return pass;
  };
  const PassCost count = integerPass([&](std::int32_t node) { return countLimbs(tree.subtreeSize(node)); });
  result.seconds = count.seconds;
  result.bytes = count.bytes;
  if (settings.spectrum != SpectrumMode::none) {
    // Upper bounds: the run sizes the exact slots by the count and starts every node's
    // polynomials at its smallest set, both known only after the count pass.
    PassCost exact = integerPass([&](std::int32_t node) { return spectrumLimbs(tree.subtreeSize(node), variables); });
    // The whole spectrum as one integer, and its numbers apart once it is read out.
    exact.bytes += 3.0 * 8.0 * static_cast<double>(spectrumLimbs(variables, variables));
    double scratch = 0.0;
    const auto length = [&](std::int32_t node) { return static_cast<double>(tree.subtreeSize(node) + 1); };
    PassCost floating = passCost(
        tree, states, [&](std::int32_t node) { return kFloatingNumberBytes * length(node); },
        [&](std::int32_t node) {
          const auto children = tree.children(node);
          double ns = 2.0 * length(node) * kFloatingNs;
          double product = children.empty() ? 1.0 : length(children[0]);
          for (std::size_t c = 1; c < children.size(); ++c) {
            ns += 2.0 * product * length(children[c]) * kFloatingNs;
            product += length(children[c]);
          }
          scratch = std::max(scratch, product);
          return ns;
        });
    floating.bytes += threads * 2.0 * kFloatingNumberBytes * scratch + 2.0 * kFloatingNumberBytes * (variables + 1.0);
    result.spectrum = settings.spectrum;
    if (settings.spectrum == SpectrumMode::cheaper) {
      result.spectrum = exact.seconds > 1.0 && exact.seconds > 4.0 * floating.seconds ? SpectrumMode::floating
                                                                                       : SpectrumMode::exact;
    }
    const PassCost& spectrum = result.spectrum == SpectrumMode::exact ? exact : floating;
    result.seconds += spectrum.seconds;
    result.bytes = std::max(result.bytes, spectrum.bytes);
  }
  if (!settings.laws.empty()) {
    const auto laws = static_cast<double>(settings.laws.size());
    const PassCost probability = passCost(
        tree, states, [&](std::int32_t) { return laws * 2.0 * sizeof(WideReal); },
        [&](std::int32_t node) {
          return laws * kLawNs * (2.0 + 2.0 * static_cast<double>(tree.children(node).size()));
        });
    result.seconds += probability.seconds;
    result.bytes = std::max(result.bytes, probability.bytes);
  }
  return result;
}

std::string countText(double count) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", count);
  return text;
}

}  // namespace

std::string byteText(double bytes) {
  const char* units[] = {"bytes", "kB", "MB", "GB", "TB", "PB"};
  int unit = 0;
  while (bytes >= 1000.0 && unit < 5) {
    bytes /= 1000.0;
    ++unit;
  }
  char text[64];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.3g %s", bytes, units[unit]);
  return text;
}

ExactPlan planExact(const Problem& problem, const ExactSettings& settings) {
  const auto start = Clock::now();
  ExactPlan plan;
  const auto finish = [&]() -> ExactPlan& {
    plan.planSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    return plan;
  };
  if (!problem.everyClauseTouchable()) {
    plan.emptyClause = true;
    return finish();
  }
  const std::int32_t maxWidth = std::clamp(settings.maxWidth, 0, 63);
  const PrimalGraph graph = primalGraph(problem, maxWidth);
  if (graph.tooWide) {
    std::int32_t widest = 0;
    for (std::int32_t c = 0; c < problem.clauseCount; ++c) {
      widest = std::max(widest, static_cast<std::int32_t>(problem.clause(c).size()));
    }
    plan.width = widest - 1;
    plan.refusal = "a clause holds " + std::to_string(widest) + " variables, so every decomposition is wider than " +
                   std::to_string(maxWidth);
    return finish();
  }
  // The bytes a state takes at least (its key and index slot): no table may hold more states
  // than the memory limit allows at that price.
  const double stateLimit =
      settings.memoryLimit > 0 ? static_cast<double>(settings.memoryLimit) / 16.0 : std::ldexp(1.0, 40);
  const auto budget = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(settings.decompositionSeconds));
  std::shared_ptr<const EliminationTree> best;
  Estimate bestEstimate;
  EliminationHeuristic bestHeuristic = EliminationHeuristic::minDegree;
  for (const EliminationHeuristic heuristic :
       {EliminationHeuristic::minDegree, EliminationHeuristic::maxCardinality, EliminationHeuristic::minFill}) {
    // Min-degree and maximum cardinality, the cheaper, may take a third of the time each;
    // min-fill what is left.
    const auto deadline = heuristic == EliminationHeuristic::minFill
                              ? start + budget
                              : start + budget * (heuristic == EliminationHeuristic::minDegree ? 1 : 2) / 3;
    const EliminationOrder order = eliminationOrder(graph, heuristic, maxWidth, deadline);
    DecompositionCandidate candidate{heuristic, order.width, order.complete, order.outOfTime, 0.0, 0};
    if (order.complete) {
      auto tree = std::make_shared<const EliminationTree>(problem, order);
      const Estimate cost = estimate(*tree, problem.variableCount, settings, stateLimit);
      candidate.seconds = std::isfinite(cost.seconds) ? cost.seconds : 0.0;
      candidate.bytes = std::isfinite(cost.bytes) ? static_cast<std::uint64_t>(cost.bytes) : UINT64_MAX;
      if (!best || std::make_pair(cost.seconds, tree->width()) < std::make_pair(bestEstimate.seconds, best->width())) {
        best = std::move(tree);
        bestEstimate = cost;
        bestHeuristic = heuristic;
      }
    }
    plan.candidates.push_back(candidate);
  }
  if (!best) {
    // No complete order: the narrowest width reached, and why.
    const bool outOfTime = std::any_of(plan.candidates.begin(), plan.candidates.end(),
                                       [](const DecompositionCandidate& c) { return c.outOfTime; });
    plan.width = maxWidth + 1;
    for (const DecompositionCandidate& c : plan.candidates) {
      if (!c.outOfTime) plan.width = std::min(plan.width, c.width);
    }
    plan.refusal = outOfTime && plan.width <= maxWidth
                       ? "no decomposition was found within " + std::to_string(settings.decompositionSeconds) + " s"
                       : "every decomposition found has width more than " + std::to_string(maxWidth) + " (one reached " +
                             std::to_string(plan.width) + ")";
    return finish();
  }
  plan.width = best->width();
  plan.heuristic = bestHeuristic;
  plan.spectrum = bestEstimate.spectrum;
  plan.largestTable = bestEstimate.largest;
  plan.totalStates = bestEstimate.total;
  plan.seconds = bestEstimate.seconds;
  plan.treeBytes = best->bytes();
  plan.bytes = std::isfinite(bestEstimate.bytes) ? static_cast<std::uint64_t>(bestEstimate.bytes) : UINT64_MAX;
  plan.tree = std::move(best);
  if (settings.memoryLimit > 0 && (!std::isfinite(bestEstimate.bytes) ||
                                   bestEstimate.bytes + static_cast<double>(plan.treeBytes) > static_cast<double>(settings.memoryLimit))) {
    const std::string need = std::isfinite(bestEstimate.bytes)
                                 ? "about " + byteText(bestEstimate.bytes + static_cast<double>(plan.treeBytes))
                                 : "more than " + byteText(static_cast<double>(settings.memoryLimit)) + " (a table of " +
                                       countText(bestEstimate.largest) + " states)";
    plan.refusal = "the tables of the decomposition of width " + std::to_string(plan.width) + " need " + need +
                   " at once, and " + byteText(static_cast<double>(settings.memoryLimit)) + " are allowed";
    plan.tree.reset();
  }
  return finish();
}

}  // namespace monocount
