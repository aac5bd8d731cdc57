#include "estimation/exact/exact_counter.hpp"

#include <gmp.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "estimation/exact/tree_walk.hpp"

namespace monocount {

namespace {

using boost::multiprecision::mpz_int;

std::size_t significant(const mp_limb_t* value, std::size_t limbs) {
  while (limbs > 0 && value[limbs - 1] == 0) --limbs;
  return limbs;
}

mpz_int fromLimbs(const mp_limb_t* value, std::size_t limbs) {
  limbs = significant(value, limbs);
  mpz_int result;
  if (limbs == 0) return result;
  mp_limb_t* out = mpz_limbs_write(result.backend().data(), static_cast<mp_size_t>(limbs));
  std::copy(value, value + limbs, out);
  mpz_limbs_finish(result.backend().data(), static_cast<mp_size_t>(limbs));
  return result;
}

// The product of the items, multiplied along a balanced tree.
mpz_int product(std::vector<mpz_int> items) {
  if (items.empty()) return mpz_int(1);
  while (items.size() > 1) {
    std::vector<mpz_int> next;
    for (std::size_t i = 0; i + 1 < items.size(); i += 2) next.push_back(items[i] * items[i + 1]);
    if (items.size() % 2 == 1) next.push_back(std::move(items.back()));
    items.swap(next);
  }
  return std::move(items.front());
}

// Integer values. For the count, a state's value is its count (countLimbs long). For the
// spectrum, it is the polynomial sum_k N(k) x^k over the sets of the node's subtree, from the
// node's lowest degree on: slot j (of `slot` limbs) holds the coefficient of x^(lowest + j).
// No coefficient, at any node, passes the formula's count (a set below a node, with its bag
// state and every other variable true, is a satisfying set of its own), so the slots are sized
// by the count, and the lowest degrees come from the count pass, which tracks the smallest
// satisfying set below every state.
class IntegerKind {
 public:
  // The count pass, tracking the smallest sets.
  IntegerKind(const EliminationTree& tree) : IntegerKind(tree, 0, {}) {
    minima_.resize(static_cast<std::size_t>(tree.nodeCount()));
    lowest_.assign(static_cast<std::size_t>(tree.nodeCount()), 0);
  }
  // The spectrum pass, with slots of `slot` limbs and the lowest degree of every node.
  IntegerKind(const EliminationTree& tree, std::size_t slot, std::vector<std::int32_t> lowest)
      : tree_(tree),
        slot_(slot),
        lowest_(std::move(lowest)),
        limbs_(static_cast<std::size_t>(tree.nodeCount())),
        values_(static_cast<std::size_t>(tree.nodeCount())) {
    for (std::int32_t node = 0; node < tree.nodeCount(); ++node) {
      const std::int32_t subtree = tree.subtreeSize(node);
      limbs_[at(node)] = slot == 0 ? countLimbs(subtree)
                                   : static_cast<std::size_t>(subtree - lowest_[at(node)] + 1) * slot;
    }
    for (std::int32_t node = 0; node < tree.nodeCount(); ++node) {
      std::size_t sum = 0;
      for (const std::int32_t child : tree.children(node)) sum += limbs_[at(child)];
      scratch_ = std::max(scratch_, sum);
    }
  }

  struct Worker {
    std::vector<mp_limb_t> first;
    std::vector<mp_limb_t> second;
  };
  Worker worker() const { return Worker{std::vector<mp_limb_t>(scratch_), std::vector<mp_limb_t>(scratch_)}; }

  void open(std::int32_t node, std::size_t states) {
    values_[at(node)].assign(states * limbs_[at(node)], 0);
    if (!minima_.empty()) minima_[at(node)].assign(states, 0);
  }
  void close(std::int32_t node) {
    if (!minima_.empty()) {
      const PageVector<std::int32_t>& minima = minima_[at(node)];
      lowest_[at(node)] = minima.empty() ? 0 : *std::min_element(minima.begin(), minima.end());
    }
    for (const std::int32_t child : tree_.children(node)) {
      PageVector<mp_limb_t>().swap(values_[at(child)]);
      if (!minima_.empty()) PageVector<std::int32_t>().swap(minima_[at(child)]);
    }
  }

  void state(Worker& worker, const StateContext& context) {
    const std::size_t limbs = limbs_[at(context.node)];
    mp_limb_t* out = values_[at(context.node)].data() + context.rank * limbs;
    if (context.zeroAllowed) addProduct(worker, context.node, context.falseRanks, 0, out, limbs);
    addProduct(worker, context.node, context.trueRanks, 1, out, limbs);
    if (!minima_.empty()) {
      const auto children = tree_.children(context.node);
      const auto smallest = [&](std::span<const std::uint32_t> ranks) {
        std::int32_t sum = 0;
        for (std::size_t c = 0; c < children.size(); ++c) sum += minima_[at(children[c])][ranks[c]];
        return sum;
      };
      const std::int32_t withTrue = 1 + smallest(context.trueRanks);
      minima_[at(context.node)][context.rank] =
          context.zeroAllowed ? std::min(smallest(context.falseRanks), withTrue) : withTrue;
    }
  }

  // The value of the root's one state, and the degree of its slot 0.
  mpz_int rootValue(std::int32_t root) const { return fromLimbs(values_[at(root)].data(), limbs_[at(root)]); }
  const std::vector<std::int32_t>& lowest() const { return lowest_; }

 private:
  static std::size_t at(std::int32_t node) { return static_cast<std::size_t>(node); }

  // out (limbs long) += x^degree times the product of the children's values at `ranks` (1
  // without children), degree being the node's variable's value.
  void addProduct(Worker& worker, std::int32_t node, std::span<const std::uint32_t> ranks, std::int32_t degree,
                  mp_limb_t* out, std::size_t limbs) const {
    const auto children = tree_.children(node);
    // Where the product's slot 0 lands in the node's slots (none for the count).
    std::int64_t shift = degree - lowest_[at(node)];
    for (const std::int32_t child : children) shift += lowest_[at(child)];
    if (slot_ == 0) shift = 0;
    if (children.empty()) {
      // The product is 1, and x^degree lies in the node's range.
      const std::size_t at = static_cast<std::size_t>(shift) * slot_;
      mpn_add_1(out + at, out + at, static_cast<mp_size_t>(limbs - at), 1);
      return;
    }
    const auto valueOf = [&](std::size_t c) {
      const std::size_t childLimbs = limbs_[this->at(children[c])];
      const mp_limb_t* value = values_[this->at(children[c])].data() + ranks[c] * childLimbs;
      return std::pair{value, significant(value, childLimbs)};
    };
    auto [value, length] = valueOf(0);
    mp_limb_t* target = worker.first.data();
    for (std::size_t c = 1; c < children.size(); ++c) {
      const auto [other, otherLength] = valueOf(c);
      if (length >= otherLength) {
        mpn_mul(target, value, static_cast<mp_size_t>(length), other, static_cast<mp_size_t>(otherLength));
      } else {
        mpn_mul(target, other, static_cast<mp_size_t>(otherLength), value, static_cast<mp_size_t>(length));
      }
      length = significant(target, length + otherLength);
      value = target;
      target = target == worker.first.data() ? worker.second.data() : worker.first.data();
    }
    if (shift >= 0) {
      out += static_cast<std::size_t>(shift) * slot_;
      limbs -= static_cast<std::size_t>(shift) * slot_;
    } else {
      // The product's slots below the node's lowest degree are empty.
      const std::size_t skip = static_cast<std::size_t>(-shift) * slot_;
      value += std::min(skip, length);
      length -= std::min(skip, length);
    }
    // Never fails: every value is a number of sets below the node, which its limbs hold.
    if (length > limbs) throw std::logic_error("exact counter: a value outgrew its limbs");
    if (length > 0) mpn_add(out, out, static_cast<mp_size_t>(limbs), value, static_cast<mp_size_t>(length));
  }

  const EliminationTree& tree_;
  std::size_t slot_ = 0;
  std::vector<std::int32_t> lowest_;
  std::vector<std::size_t> limbs_;
  std::vector<PageVector<mp_limb_t>> values_;
  std::vector<PageVector<std::int32_t>> minima_;  // count pass: the smallest set below each state
  std::size_t scratch_ = 1;
};

// A non-negative number m 2^e with m = 0 or 1 <= m < 2: the floating spectrum's coefficients.
// Adding or multiplying two rounds once (the smaller addend is scaled by an exact power of two).
struct Scaled {
  double mantissa = 0.0;
  std::int32_t exponent = 0;
};
static_assert(sizeof(Scaled) == kFloatingNumberBytes);

// 2^-d for d = 0 .. 64: below that an addend is lost in the rounding anyway.
const std::array<double, 65> kHalvings = [] {
  std::array<double, 65> halvings{};
  for (std::size_t d = 0; d < halvings.size(); ++d) halvings[d] = std::ldexp(1.0, -static_cast<int>(d));
  return halvings;
}();

inline void addTo(Scaled& sum, Scaled term) {
  if (term.mantissa == 0.0) return;
  Scaled large = sum;
  if (large.mantissa == 0.0) {
    sum = term;
    return;
  }
  if (large.exponent < term.exponent) std::swap(large, term);
  const auto distance = static_cast<std::uint32_t>(large.exponent - term.exponent);
  if (distance < kHalvings.size()) large.mantissa += term.mantissa * kHalvings[distance];
  if (large.mantissa >= 2.0) {
    large.mantissa *= 0.5;
    ++large.exponent;
  }
  sum = large;
}

inline Scaled times(Scaled a, Scaled b) {
  if (a.mantissa == 0.0 || b.mantissa == 0.0) return {};
  Scaled product{a.mantissa * b.mantissa, a.exponent + b.exponent};
  if (product.mantissa >= 2.0) {
    product.mantissa *= 0.5;
    ++product.exponent;
  }
  return product;
}

// The spectrum in floating point: per state, the coefficients of the node's polynomial from its
// lowest degree on (as IntegerKind), products of children by plain convolution. Every
// coefficient is a sum of products of non-negative numbers, so its relative error is at most
// (1 + 2^-53)^K - 1 for K the roundings any of its terms goes through; K is bounded per node
// (roundings(node)): the most of its children's, plus one for the multiplication and the
// additions of each further child's convolution (a convolution term passes at most as many
// additions as the shorter factor has coefficients), plus one for the sum over the node's
// variable.
class FloatingSpectrumKind {
 public:
  FloatingSpectrumKind(const EliminationTree& tree, std::vector<std::int32_t> lowest)
      : tree_(tree),
        lowest_(std::move(lowest)),
        length_(static_cast<std::size_t>(tree.nodeCount())),
        roundings_(static_cast<std::size_t>(tree.nodeCount()), 0),
        values_(static_cast<std::size_t>(tree.nodeCount())) {
    for (std::int32_t node = 0; node < tree.nodeCount(); ++node) {
      length_[at(node)] = static_cast<std::size_t>(tree.subtreeSize(node) - lowest_[at(node)] + 1);
      std::size_t sum = 0;
      std::size_t shorter = 0;
      std::int64_t most = 0;
      for (const std::int32_t child : tree.children(node)) {
        most = std::max(most, roundings_[at(child)]);
        if (sum > 0) shorter += std::min(sum, length_[at(child)]) + 1;
        sum += length_[at(child)];
      }
      roundings_[at(node)] = most + static_cast<std::int64_t>(shorter) + 1;
      scratch_ = std::max(scratch_, sum);
    }
  }

  struct Worker {
    std::vector<Scaled> first;
    std::vector<Scaled> second;
  };
  Worker worker() const { return Worker{std::vector<Scaled>(scratch_), std::vector<Scaled>(scratch_)}; }
  void open(std::int32_t node, std::size_t states) { values_[at(node)].assign(states * length_[at(node)], Scaled{}); }
  void close(std::int32_t node) {
    for (const std::int32_t child : tree_.children(node)) PageVector<Scaled>().swap(values_[at(child)]);
  }

  void state(Worker& worker, const StateContext& context) {
    Scaled* out = values_[at(context.node)].data() + context.rank * length_[at(context.node)];
    if (context.zeroAllowed) addProduct(worker, context.node, context.falseRanks, 0, out);
    addProduct(worker, context.node, context.trueRanks, 1, out);
  }

  // The roots' polynomials multiplied, from degree 0 to n, and the roundings bound.
  std::vector<WideReal> spectrum(std::int32_t variables, std::int64_t& roundings) const {
    std::vector<Scaled> whole{Scaled{1.0, 0}};
    std::size_t offset = 0;
    roundings = 0;
    for (const std::int32_t root : tree_.roots()) {
      const Scaled* value = values_[at(root)].data();
      const std::size_t length = length_[at(root)];
      std::vector<Scaled> next(whole.size() + length - 1);
      for (std::size_t i = 0; i < whole.size(); ++i) {
        for (std::size_t j = 0; j < length; ++j) addTo(next[i + j], times(whole[i], value[j]));
      }
      roundings = std::max(roundings, roundings_[at(root)]) + static_cast<std::int64_t>(std::min(whole.size(), length)) + 1;
      whole.swap(next);
      offset += static_cast<std::size_t>(lowest_[at(root)]);
    }
    std::vector<WideReal> result(static_cast<std::size_t>(variables) + 1);
    for (std::size_t j = 0; j < whole.size() && offset + j < result.size(); ++j) {
      result[offset + j] = WideReal::scaled(whole[j].mantissa, whole[j].exponent);
    }
    return result;
  }

 private:
  static std::size_t at(std::int32_t node) { return static_cast<std::size_t>(node); }

  void addProduct(Worker& worker, std::int32_t node, std::span<const std::uint32_t> ranks, std::int32_t degree,
                  Scaled* out) const {
    const auto children = tree_.children(node);
    std::int64_t shift = degree - lowest_[at(node)];
    for (const std::int32_t child : children) shift += lowest_[at(child)];
    const Scaled one{1.0, 0};
    const Scaled* value = &one;
    std::size_t length = 1;
    Scaled* target = worker.first.data();
    for (std::size_t c = 0; c < children.size(); ++c) {
      const std::size_t childLength = length_[at(children[c])];
      const Scaled* child = values_[at(children[c])].data() + ranks[c] * childLength;
      if (c == 0) {
        value = child;
        length = childLength;
        continue;
      }
      std::fill(target, target + length + childLength - 1, Scaled{});
      for (std::size_t i = 0; i < length; ++i) {
        for (std::size_t j = 0; j < childLength; ++j) addTo(target[i + j], times(value[i], child[j]));
      }
      value = target;
      length += childLength - 1;
      target = target == worker.first.data() ? worker.second.data() : worker.first.data();
    }
    // Coefficient i of the product is the node's coefficient i + shift; those below the node's
    // lowest degree are zero.
    const std::size_t nodeLength = length_[at(node)];
    for (std::size_t i = shift < 0 ? static_cast<std::size_t>(-shift) : 0; i < length; ++i) {
      const auto j = static_cast<std::size_t>(static_cast<std::int64_t>(i) + shift);
      if (j < nodeLength) addTo(out[j], value[i]);
    }
  }

  const EliminationTree& tree_;
  std::vector<std::int32_t> lowest_;
  std::vector<std::size_t> length_;
  std::vector<std::int64_t> roundings_;
  std::vector<PageVector<Scaled>> values_;
  std::size_t scratch_ = 1;
};

// Chances under several laws at once: per state and law, the chance of the assignments below
// the node that meet every clause decided at or below it (holds), and of those that fail one
// (fails); per node and law, the chance of all assignments below it (total, the product of
// truth + falsity). With children c_1 .. c_r at the matching states,
//   holds(children) = prod holds_c,
//   fails(children) = sum_c holds_c_1 ... holds_c_(c-1) fails_c total_c_(c+1) ... total_c_r,
// and the node's variable adds truth times the true branch, plus falsity times the false
// branch when its own clauses allow it, else falsity times the product of the totals (every
// assignment below then fails). States of a bag that break a clause inside it are kept by
// nobody; their chance is counted at the ancestor whose own clause they break, by the same rule.
class ProbabilityKind {
 public:
  ProbabilityKind(const EliminationTree& tree, const std::vector<VariableProbabilities>& laws)
      : tree_(tree),
        laws_(laws),
        values_(static_cast<std::size_t>(tree.nodeCount())),
        totals_(static_cast<std::size_t>(tree.nodeCount()) * laws.size()),
        childTotals_(laws.size()) {}

  struct Worker {};
  Worker worker() const { return {}; }

  void open(std::int32_t node, std::size_t states) {
    values_[at(node)].assign(states * 2 * laws_.size(), WideReal());
    const std::int32_t variable = tree_.variable(node);
    for (std::size_t law = 0; law < laws_.size(); ++law) {
      WideReal below(1.0);
      for (const std::int32_t child : tree_.children(node)) below *= total(child, law);
      childTotals_[law] = below;
      totals_[at(node) * laws_.size() + law] =
          (WideReal(laws_[law].truth(variable)) + WideReal(laws_[law].falsity(variable))) * below;
    }
  }
  void close(std::int32_t node) {
    for (const std::int32_t child : tree_.children(node)) PageVector<WideReal>().swap(values_[at(child)]);
  }

  void state(Worker&, const StateContext& context) {
    const std::int32_t variable = tree_.variable(context.node);
    const auto children = tree_.children(context.node);
    WideReal* out = values_[at(context.node)].data() + context.rank * 2 * laws_.size();
    for (std::size_t law = 0; law < laws_.size(); ++law) {
      const auto combine = [&](std::span<const std::uint32_t> ranks) {
        WideReal holds(1.0);
        WideReal fails;
        for (std::size_t c = 0; c < children.size(); ++c) {
          const WideReal* child = values_[at(children[c])].data() + ranks[c] * 2 * laws_.size() + 2 * law;
          fails = fails * total(children[c], law) + holds * child[1];
          holds *= child[0];
        }
        return std::pair{holds, fails};
      };
      const WideReal truth(laws_[law].truth(variable));
      const WideReal falsity(laws_[law].falsity(variable));
      const auto [holdsTrue, failsTrue] = combine(context.trueRanks);
      WideReal holds = truth * holdsTrue;
      WideReal fails = truth * failsTrue;
      if (context.zeroAllowed) {
        const auto [holdsFalse, failsFalse] = combine(context.falseRanks);
        holds += falsity * holdsFalse;
        fails += falsity * failsFalse;
      } else {
        fails += falsity * childTotals_[law];
      }
      out[2 * law] = holds;
      out[2 * law + 1] = fails;
    }
  }

  // Over the roots, by the rule of the children: both chances of the whole formula.
  std::vector<ExactProbability> result() const {
    std::vector<ExactProbability> chances(laws_.size(), ExactProbability{WideReal(1.0), WideReal()});
    for (const std::int32_t root : tree_.roots()) {
      for (std::size_t law = 0; law < laws_.size(); ++law) {
        const WideReal* value = values_[at(root)].data() + 2 * law;
        chances[law].fails = chances[law].fails * total(root, law) + chances[law].holds * value[1];
        chances[law].holds *= value[0];
      }
    }
    return chances;
  }

 private:
  static std::size_t at(std::int32_t node) { return static_cast<std::size_t>(node); }
  const WideReal& total(std::int32_t node, std::size_t law) const { return totals_[at(node) * laws_.size() + law]; }

  const EliminationTree& tree_;
  const std::vector<VariableProbabilities>& laws_;
  std::vector<PageVector<WideReal>> values_;
  std::vector<WideReal> totals_;
  std::vector<WideReal> childTotals_;  // of the node open, per law
};

}  // namespace

WideReal toWideReal(const mpz_int& value) {
  if (value == 0) return WideReal();
  const std::size_t bits = mpz_sizeinbase(value.backend().data(), 2);
  const std::size_t drop = bits > 64 ? bits - 64 : 0;
  const mpz_int top = value >> drop;
  return WideReal::scaled(static_cast<long double>(mpz_get_ui(top.backend().data())), static_cast<std::int64_t>(drop));
}

WideReal ExactResult::countWide() const { return toWideReal(count); }

ExactResult exactCount(const Problem& problem, const ExactSettings& settings) {
  return exactCount(problem, planExact(problem, settings), settings);
}

ExactResult exactCount(const Problem& problem, const ExactPlan& plan, const ExactSettings& settings) {
  ExactResult result;
  const auto n = static_cast<std::size_t>(problem.variableCount);
  if (plan.emptyClause) {
    if (settings.spectrum != SpectrumMode::none) {
      result.spectrum.assign(n + 1, mpz_int(0));
      result.spectrumWide.assign(n + 1, WideReal());
    }
    for (const VariableProbabilities& law : settings.laws) {
      WideReal total(1.0);
      for (std::int32_t v = 0; v < problem.variableCount; ++v) total *= WideReal(law.truth(v)) + WideReal(law.falsity(v));
      result.probabilities.push_back(ExactProbability{WideReal(), total});
    }
    return result;
  }
  if (!plan.refusal.empty() || !plan.tree) throw ExactRefusal("exact counting refused: " + plan.refusal);
  const EliminationTree& tree = *plan.tree;
  const std::int32_t threads = std::max(settings.threads, 1);
  const auto rootProduct = [&](const IntegerKind& kind) {
    std::vector<mpz_int> values;
    for (const std::int32_t root : tree.roots()) values.push_back(kind.rootValue(root));
    return product(std::move(values));
  };
  IntegerKind counting(tree);
  walkTree(tree, counting, threads, problem.variableCount, settings.blockStates);
  result.count = rootProduct(counting);
  if (plan.spectrum == SpectrumMode::exact) {
    const std::size_t slot = (mpz_sizeinbase(result.count.backend().data(), 2) + 63) / 64;
    IntegerKind kind(tree, slot, counting.lowest());
    walkTree(tree, kind, threads, problem.variableCount, settings.blockStates);
    const mpz_int whole = rootProduct(kind);
    std::size_t offset = 0;  // the degree of the product's slot 0
    for (const std::int32_t root : tree.roots()) offset += static_cast<std::size_t>(counting.lowest()[static_cast<std::size_t>(root)]);
    const mp_limb_t* limbs = mpz_limbs_read(whole.backend().data());
    const std::size_t size = mpz_size(whole.backend().data());
    result.spectrum.assign(n + 1, mpz_int(0));
    for (std::size_t k = offset; k <= n; ++k) {
      const std::size_t first = std::min(size, (k - offset) * slot);
      result.spectrum[k] = fromLimbs(limbs + first, std::min(size, first + slot) - first);
    }
    for (const mpz_int& number : result.spectrum) result.spectrumWide.push_back(toWideReal(number));
  } else if (plan.spectrum == SpectrumMode::floating) {
    FloatingSpectrumKind kind(tree, counting.lowest());
    walkTree(tree, kind, threads, problem.variableCount, settings.blockStates);
    std::int64_t roundings = 0;
    result.spectrumWide = kind.spectrum(problem.variableCount, roundings);
    const double unit = std::ldexp(1.0, -53);
    const double k = static_cast<double>(roundings);
    result.spectrumRelativeError = k * unit / (1.0 - k * unit);
  }
  if (!settings.laws.empty()) {
    ProbabilityKind kind(tree, settings.laws);
    walkTree(tree, kind, threads, problem.variableCount, settings.blockStates);
    result.probabilities = kind.result();
  }
  return result;
}

}  // namespace monocount
