#pragma once

#include <cstdint>
#include <vector>

namespace monocount {

// The law under which the tool answers "how likely does the formula hold": every variable true
// independently of the others, with a chance of its own or one chance for all. Both the chance
// of true and the chance of false are kept, each to its own relative precision, so that a
// variable false with chance 1e-9 keeps that 1e-9 exactly instead of 1 - 0.999999999 rounded.
// Every chance lies in [0, 1]; truth + falsity is 1 up to rounding.
//
// What the estimators assume of it:
//   - crude scores a uniform law from the cover lengths of its uniform orders; it needs one
//     chance for all variables;
//   - split estimates N(k), the satisfying sets of each size, and weighs them by a uniform law;
//     it needs one chance for all variables too;
//   - the pooled probabilities (--probability) are weighed from N(k), so they also need a
//     uniform law.
// A law with a chance per variable (a weighted file) has no estimator yet.
class VariableProbabilities {
 public:
  // Every variable true with chance p (0 <= p <= 1), false with 1 - p.
  static VariableProbabilities uniform(double p);
  // Every variable true with chance `truth` and false with `falsity`, each to its own precision
  // (both in [0, 1], summing to 1 up to rounding).
  static VariableProbabilities uniform(double truth, double falsity);
  // Variable v true with chance truth[v] and false with falsity[v] (same sizes, each in [0, 1]).
  static VariableProbabilities perVariable(std::vector<double> truth, std::vector<double> falsity);

  bool isUniform() const { return truth_.empty(); }
  // The one chance of a uniform law.
  double uniformTruth() const { return uniformTruth_; }
  double uniformFalsity() const { return uniformFalsity_; }
  // The chances of variable v (0-based), whatever the law's shape.
  double truth(std::int32_t v) const { return isUniform() ? uniformTruth_ : truth_[static_cast<std::size_t>(v)]; }
  double falsity(std::int32_t v) const {
    return isUniform() ? uniformFalsity_ : falsity_[static_cast<std::size_t>(v)];
  }

 private:
  double uniformTruth_ = 0.0;
  double uniformFalsity_ = 1.0;
  std::vector<double> truth_;    // empty for a uniform law
  std::vector<double> falsity_;
};

}  // namespace monocount
