#pragma once

#include <boost/multiprecision/gmp.hpp>
#include <string>
#include <vector>

#include "estimation/exact/exact_plan.hpp"
#include "estimation/numerics/wide_real.hpp"
#include "problem/problem.hpp"

namespace monocount {

// The chance, under one law, that the formula holds and that it fails: each a sum of
// non-negative terms (neither is 1 minus the other), so a chance of 1e-900 is kept to the
// relative precision of WideReal's mantissa, about 1e-19 per operation, times the operations on
// its longest path through the tree. They add up to the product of truth + falsity over the
// variables (1 up to the law's rounding).
struct ExactProbability {
  WideReal holds;
  WideReal fails;
};

// The exact counter's answers.
struct ExactResult {
  // The number of satisfying sets.
  boost::multiprecision::mpz_int count;
  // N(k), the satisfying sets of k variables, for k = 0 .. n, when asked for: exactly (when the
  // plan's spectrum mode is exact; empty otherwise), and as WideReal in either mode, within
  // spectrumRelativeError of N(k) (0 when exact; a floating N(k) is 0 exactly when N(k) is).
  std::vector<boost::multiprecision::mpz_int> spectrum;
  std::vector<WideReal> spectrumWide;
  double spectrumRelativeError = 0.0;
  // One per law asked for, in the same order.
  std::vector<ExactProbability> probabilities;

  std::string countDecimal() const { return count.str(); }
  WideReal countWide() const;
};

// The nearest WideReal below a non-negative integer (its top 64 bits: relative error < 2^-63).
WideReal toWideReal(const boost::multiprecision::mpz_int& value);

// Counts exactly by dynamic programming over the elimination tree of planExact(problem,
// settings): the states of each node are the assignments of its later set that meet the
// clauses inside it (StateTable), and each state's value is the sum, over the node's variable
// false (when its own clauses allow) and true, of the product of the children's values at the
// matching states. Values are, per pass: the count, as an integer of countLimbs limbs (GMP's
// mpn layer, on flat arrays: no allocation per state); the spectrum, as one integer holding the
// generating polynomial sum_k N(k) x^k with each coefficient in a slot of its own (multiplying
// by x for a true variable is a shift by one slot, and products of polynomials are products of
// integers, as no coefficient overflows its slot), or the same polynomial with one
// extended-range floating number per coefficient; the laws' chances, as a pair per state of
// WideReal: the chance of the assignments below the node that meet every clause decided there,
// and of those that fail one (see ExactProbability). The count is the sum of the spectrum
// when that is asked for. A formula with an empty clause has no satisfying set; one without
// clauses is counted like any other (every variable a root of its own).
//
// Throws ExactRefusal, naming the width and the need, when the plan refuses (width beyond
// settings.maxWidth, or tables beyond settings.memoryLimit).
ExactResult exactCount(const Problem& problem, const ExactSettings& settings);
// The same with a plan made before for the same problem and settings.
ExactResult exactCount(const Problem& problem, const ExactPlan& plan, const ExactSettings& settings);

}  // namespace monocount
