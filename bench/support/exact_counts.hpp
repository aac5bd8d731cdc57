#pragma once

// Exact model counts of monotone formulas beyond enumeration, for the tests and the accuracy
// benchmarks, each needing no sampling:
//   grid      vertex covers of the W x H grid: a site-by-site transfer matrix across W, exact
//             (cpp_int) or in long double with a proven relative error bound; squares too wide
//             for it by the fit of fitSquareGrid below;
//   torus     vertex covers of the periodic W x H grid: the trace of the row transfer matrix;
//   hypercube vertex covers of Q_d (d <= 6): a four-layer decomposition;
//   path      vertex covers of the n-vertex path: Fibonacci F(n + 2); cycle: Lucas L(n);
//   tree      vertex covers of a forest: tree DP;
//   banded    monotone k-CNF whose clauses each lie inside W consecutive variables: a sliding-
//             window DP over the last W variables;
//   bipartite vertex covers of K_(a,b): 2^a + 2^b - 1; complete graph K_n: n + 1;
//   disjoint  disjoint clauses of k variables: (2^k - 1)^count;
//   blocks    disjoint random 3-CNF blocks: the product of the blocks' exhaustive counts;
//   any       formula of at most 64 variables: MonotoneCounter, a component-caching search.
// frontierCount is an independent general counter (a DP over the variables still in use) that
// the tests check every family against, and enumeration the reference for all.
// The vertex covers of a graph are the complements of its independent sets, so the grid and
// torus counters count independent sets ("hard squares"). The builders are in formulas.hpp.

#include <boost/multiprecision/cpp_int.hpp>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "support/formulas.hpp"

namespace monocount::support {

using Count = boost::multiprecision::cpp_int;

// Vertex covers of the d-dimensional hypercube (d <= 6), through their complements, the
// independent sets. Q_d is Q_(d-2) times a 4-cycle: layers A, B, C, D of independent sets of
// Q_(d-2), each disjoint from its two neighbours on the cycle, so the count is
// sum over A, C of h(A | C)^2, where h(U) counts the independent sets of Q_(d-2) avoiding U.
Count hypercubeCoverCount(std::int32_t dimension);

// Subsets of at most 64 variables that touch every clause of a monotone formula, by splitting
// on the most frequent variable, with unit clauses forced, subsumed clauses dropped, variables
// in no clause counted as free, independent components counted apart, and every component's
// count cached by its clause set.
class MonotoneCounter {
 public:
  Count count(const Formula& formula);

 private:
  struct KeyHash {
    std::size_t operator()(const std::vector<std::uint64_t>& key) const;
  };
  // Models over `variables` of the clauses (every clause a non-empty subset of `variables`).
  Count countFormula(std::vector<std::uint64_t> clauses, std::uint64_t variables);
  Count countComponent(const std::vector<std::uint64_t>& clauses, std::uint64_t variables);

  std::unordered_map<std::vector<std::uint64_t>, Count, KeyHash> cache_;
};

// ---------------------------------------------------------------------------------------------
// Numbers

// log10 of a positive integer, to about 19 significant digits (the top 64 bits are kept).
long double log10Of(const Count& value);

// Fibonacci numbers F(0) = 0, F(1) = 1, ... as 64-bit integers (k <= 90).
std::uint64_t fibonacci(int k);

// A floating-point count m * 2^exponent with m a long double: the transfer matrices rescale by
// powers of two, which is exact, so the only rounding is in the additions.
struct ScaledValue {
  long double mantissa = 0;
  long long exponent = 0;
  long double log10() const { return std::log10(mantissa) + static_cast<long double>(exponent) * std::log10(2.0L); }
  long double ln() const { return std::log(mantissa) + static_cast<long double>(exponent) * std::log(2.0L); }
};

// Vertex covers of the width x height grid, exactly. Cost ~ width * height * 1.2 * phi^width
// additions of numbers of ~0.18 * width * height decimal digits.
Count gridCount(int width, int height);

// Relative error bound of the long double transfer matrix after `sites` sites with `states`
// row states: every weight is a sum of non-negative terms through at most one rounding per
// site, and the final pairwise sum adds ceil(log2 states) more; each rounding is within
// 2^-64 (the long double unit roundoff); (1 + u)^k - 1 < 1.01 k u for k u < 0.01.
long double floatRelativeErrorBound(long long sites, std::size_t states);

// Vertex covers of the width x height grid in long double (rescaled, so any height), with the
// relative error bound above: below 1e-16 up to 1,800 sites. With an activity a, each cover C
// weighs a^(number of vertices outside C) (the hard-square partition function at activity a;
// the bound then holds for twice the sites).
ScaledValue gridCountFloat(int width, int height, long double activity = 1.0L);

// ln of the vertex-cover count (or weight, at an activity) of every width x h grid,
// h = 1..maxHeight, in one pass.
std::vector<long double> gridLogCountsByHeight(int width, int maxHeight, long double activity = 1.0L);

// ---------------------------------------------------------------------------------------------
// Grids too wide for the transfer matrix. For hard squares at activity 1, which is far from its
// critical point, ln Z(w, h) = f w h + s (w + h) + c + (corrections exponentially small in
// min(w, h)), f being the log of the hard-square entropy constant.
struct GridFit {
  long double bulk = 0;         // f
  long double surface = 0;      // s
  long double corner = 0;       // c
  long double bulkError = 0;    // bounds on the rounding in f and s, and on the distance of c
  long double surfaceError = 0;  // from its limit
  long double cornerError = 0;
  long double ln(int width, int height) const {
    return bulk * width * height + surface * (width + height) + corner;
  }
  long double log10(int width, int height) const { return ln(width, height) / std::log(10.0L); }
  // Bound on |ln Z - ln(w, h)| for sides at least those the fit used, in log10.
  long double log10Uncertainty(int width, int height) const {
    return (bulkError * width * height + surfaceError * (width + height) + cornerError) / std::log(10.0L);
  }
};

// The fit through long double counts (transfer matrix): the row free energy of a strip,
// g(w) = ln Z(w, H) - ln Z(w, H - 1) = f w + s + (tiny), for H = 4 w; f = (g(W) - g(W - 6)) / 6
// and s = g(W) - f W, their error bounded by the rounding plus the change of f when W drops
// by one (the strips' corrections shrink about 6-fold a width); c(n) = ln Z(n, n) - f n^2 - 2 s n for the squares n = m - 2 .. m, whose
// differences alternate in sign and shrink geometrically (by about 0.46 a step), so c is their
// Aitken extrapolation and |c(m) - c(m - 1)| bounds its error.
// At an activity other than 1 the same fit runs on the weights (gridCountFloat); how well its
// corrections shrink then depends on the activity (the correlation length grows towards the
// critical activity, about 3.8), which the caller must check.
GridFit fitSquareGrid(int stripWidth, int largestSquare, long double activity = 1.0L);

// A plain least-squares fit of f, s and c through ln Z(w, h) for every lo <= w, h <= hi, the
// comparison for fitSquareGrid: its corrections at the small sides spoil f.
GridFit leastSquaresGridFit(int lo, int hi);

// Vertex covers of the width x height torus (3 <= width <= 20): trace(T^height) with T the
// 0/1 matrix of compatible rows (independent sets of the width-cycle, disjoint). Rotations and
// reflections of the cycle fix T, so (T^h)[r][r] is constant on their orbits, and
// (T^h)[r][r] = |T^a e_r|^2 (h = 2a) or (T^a e_r) . (T^(a+1) e_r) (h = 2a + 1), T symmetric.
Count torusCount(int width, int height);

// F(n + 2): covers of a path end either in its last vertex (F(n + 1)) or in the one before.
Count pathCount(int n);

// Lucas L(n) = F(n - 1) + F(n + 1).
Count cycleCount(int n);

// Vertex covers of a forest given by two-variable clauses (throws on a cycle or a wider
// clause): for each vertex, covers of its subtree with it in (children free) and out (children
// in), by a leaves-first pass.
Count forestCount(const Formula& formula);

// Models of a monotone formula whose every clause spans at most `window` consecutive variables
// (window <= 20): variables in order, the state being the values of the last `window` ones
// (bit i = variable v - i); a clause is checked when its largest variable is set.
Count bandedCount(const Formula& formula, int window);

Count completeBipartiteCount(int a, int b);

Count completeGraphCount(int n);

Count disjointClausesCount(int k, int count);

Count randomBlocksCount(int blocks, int blockVariables, int blockClauses, std::uint32_t seed);

// ---------------------------------------------------------------------------------------------
// A general counter for checking the others: variables are set in index order and the state is
// the values of the variables set so far that some unchecked clause still holds (at most 64);
// a clause is checked when its largest variable is set, and a variable leaves the state after
// its last clause is checked. Throws when a state would hold more than 64 variables or there
// are more than `maxStates` states.
Count frontierCount(const Formula& formula, std::size_t maxStates = std::size_t{1} << 22);

}  // namespace monocount::support
