#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "estimation/numerics/wide_real.hpp"

namespace monocount {

// The two tails at time 1 of S = E_1 / r_1 + ... + E_k / r_k, with E_1 .. E_k independent
// standard exponentials and r_1 .. r_k > 0 the rates of k stages passed one after the other
// (a hypoexponential time): `within` = P(S <= 1), the chance that the k-th stage is over by
// time 1, and `beyond` = P(S > 1). Each is computed on its own as a sum of non-negative terms,
// neither as one minus the other nor by the closed form sum_j c_j e^(-r_j) (whose terms cancel
// and which divides by zero when two rates coincide), so each keeps its relative precision
// however small it is (1e-18, 1e-900): equal rates, a rate 1e-12 times the others, or a rate of
// several hundred are ordinary.
struct StageTails {
  WideReal within;
  WideReal beyond;
};

// Computes StageTails by uniformization: at rate R = max r_j, the number of events by time 1 is
// Poisson(R), and each event moves the chain from stage j to j + 1 with chance r_j / R (else
// it stays), so
//   beyond = sum_m Pois(m; R) P(fewer than k moves in m events),
//   within = sum_m Pois(m; R) P(k moves in m events).
// The chances after m events are one probability vector, updated event by event, and the
// Poisson weights a sequence beside it with a binary exponent of its own, so e^(-R) never
// underflows. The sums stop once what is left of each is provably below 1e-20 of it (the
// chance of fewer than k moves only falls with m, and the Poisson tail past the mode is bounded
// by a geometric series). All in double while both tails come out above 1e-280: a chance or
// term that underflows then costs the sums at most about M k 1e-323 (M events), so each tail
// stands to a relative 1e-14 or so. Otherwise again in long double, which keeps tails down to
// about 1e-4900; smaller ones come out as 0. About (R + 10 sqrt(R)) k multiply-adds, fewer as
// the first stages empty: 17 stages at R = 414 (about 600 events) take some 8 microseconds.
//
// Holds its scratch space, so one calculator per thread; it allocates only when asked about
// more stages than ever before (reserve() avoids even that).
class StageTailCalculator {
 public:
  // Room for up to `stages` stages without allocating.
  void reserve(std::size_t stages);

  // The tails for rates r_1 .. r_k (k >= 1, every rate finite and > 0; any order). No stage
  // at all is over at once: within 1, beyond 0.
  StageTails tails(std::span<const double> rates);

 private:
  // The sums from the chances after m events and after m + 1 (stage 0 .. k - 1, then past the
  // last stage) and the chances to stay and to move on at each event, all in one type.
  template <typename Real>
  StageTails uniformized(std::span<const double> rates, Real* now, Real* next, const Real* stay, const Real* move);
  std::vector<double> now_;
  std::vector<double> next_;
  std::vector<double> stay_;
  std::vector<double> move_;
  std::vector<long double> wideNow_;
  std::vector<long double> wideNext_;
  std::vector<long double> wideStay_;
  std::vector<long double> wideMove_;
};

}  // namespace monocount
