#include "estimation/numerics/stage_tails.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/multiprecision/cpp_bin_float.hpp>
#include <cmath>
#include <vector>

namespace monocount {
namespace {

// The first row of exp(Q) for the chain's generator Q (stage j left at rate r_j, the state past
// the last stage kept), by the Taylor series without any shift: every term summed, however much
// they cancel, so the digits must hold terms up to e^R and tails down to the smallest asked for
// (one stage: e^-r and 1 - e^-r themselves). Returns the larger relative difference of the two
// tails from `tails`.
template <unsigned Digits>
double oracleDifference(const std::vector<double>& rates, const StageTails& tails) {
  using Exact = boost::multiprecision::number<boost::multiprecision::cpp_bin_float<Digits>>;
  const std::size_t k = rates.size();
  std::vector<Exact> sum(k + 1, Exact(0));
  if (k == 1) {
    sum = {boost::multiprecision::exp(Exact(-rates[0])), -boost::multiprecision::expm1(Exact(-rates[0]))};
  } else {
    std::vector<Exact> term(k + 1, Exact(0));
    std::vector<Exact> next(k + 1, Exact(0));
    term[0] = 1;
    const Exact negligible = boost::multiprecision::pow(Exact(10), -static_cast<int>(Digits) + 20);
    const double top = *std::max_element(rates.begin(), rates.end());
    for (int m = 0;; ++m) {
      Exact largest = 0;
      for (std::size_t j = 0; j <= k; ++j) {
        sum[j] += term[j];
        largest = std::max(largest, abs(term[j]));
      }
      if (m > 3 * top + 20 && largest < negligible) break;
      const Exact reciprocal = Exact(1) / (m + 1);
      for (std::size_t j = 0; j <= k; ++j) {
        next[j] = j > 0 ? term[j - 1] * rates[j - 1] : Exact(0);
        if (j < k) next[j] -= term[j] * rates[j];
        next[j] *= reciprocal;
      }
      term.swap(next);
    }
  }
  Exact beyond = 0;
  for (std::size_t j = 0; j < k; ++j) beyond += sum[j];
  const auto difference = [](const WideReal& value, const Exact& exact) {
    const Exact computed = boost::multiprecision::ldexp(Exact(value.mantissa()), static_cast<int>(value.exponent()));
    return static_cast<double>(abs(computed / exact - 1));
  };
  return std::max(difference(tails.within, sum[k]), difference(tails.beyond, beyond));
}

std::vector<double> multiples(double rate, int from, int to) {
  std::vector<double> rates;
  for (int i = from; i >= to; --i) rates.push_back(i * rate);
  return rates;
}

TEST(StageTails, BothTailsKeepTheirDigitsAgainstAMultiprecisionOracle) {
  const double q6 = -std::log(1e-6);  // the rate of a link failing with chance 1e-6
  const struct {
    const char* name;
    std::vector<double> rates;
    bool wide = false;  // the oracle needs 750 digits (terms up to 1e347 and tails to 1e-340), else 400
  } cases[] = {
      {"one stage", {1.0}},
      {"one stage of rate 1e-12: within is 1e-12", {1e-12}},
      {"one stage beyond the long double's range", {12000.0}},
      {"equal rates (Erlang)", {2.0, 2.0, 2.0}},
      {"rates apart", {5.0, 3.0, 1.0}},
      {"increasing rates, a pair 1e-13 apart", {0.5, 1.0, 1.0 + 1e-13, 4.0}},
      {"one rate tiny: within about 1e-9", {3.0, 1e-9}},
      {"five fast stages: beyond about 1e-150", multiples(q6, 30, 26)},
      {"15 stages of a 30-link network at q = 1e-6: beyond about 1e-88", multiples(q6, 30, 16)},
      {"rates of 600: e^-600 kept apart from its exponent, beyond about 4e-255", {600.0, 590.0}, true},
      {"rates beyond e^-745, the double's range, and beyond below it", {800.0, 790.0, 780.0}, true},
      {"40 slow stages: within about 1e-60", std::vector<double>(40, 0.5)},
      {"130 slow stages: within about 1e-310, below the double's range", std::vector<double>(130, 0.2)},
  };
  StageTailCalculator calculator;
  for (const auto& c : cases) {
    const StageTails tails = calculator.tails(c.rates);
    EXPECT_LT(c.wide ? oracleDifference<750>(c.rates, tails) : oracleDifference<400>(c.rates, tails), 1e-13) << c.name;
  }
}

}  // namespace
}  // namespace monocount
