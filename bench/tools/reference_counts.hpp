#pragma once

// Reference model counts of monotone formulas at thousands of variables, for checking the
// estimators far beyond the exhaustive counters of exact_counts.hpp. Every family here has a
// builder and a counter that needs no sampling:
//   grid      vertex covers of the W x H grid: a site-by-site transfer matrix across W, exact
//             (cpp_int) or in long double with a proven relative error bound; squares too wide
//             for it by the fit of fitSquareGrid below;
//   torus     vertex covers of the periodic W x H grid: the trace of the row transfer matrix;
//   path      vertex covers of the n-vertex path: Fibonacci F(n + 2); cycle: Lucas L(n);
//   tree      vertex covers of a random labelled tree (a Pruefer sequence): tree DP;
//   banded    random monotone k-CNF whose clauses each lie inside W consecutive variables:
//             a sliding-window DP over the last W variables;
//   bipartite vertex covers of K_(a,b): 2^a + 2^b - 1; complete graph K_n: n + 1;
//   disjoint  disjoint clauses of k variables: (2^k - 1)^count;
//   blocks    disjoint random 3-CNF blocks of at most 64 variables under one random
//             relabelling: the product of the blocks' exhaustive counts.
// frontierCount is an independent general counter (a DP over the variables still in use) that
// the tests check every family against.
//
// The vertex covers of a graph are the complements of its independent sets, so the grid and
// torus counters count independent sets ("hard squares").

#include <algorithm>
#include <array>
#include <bit>
#include <boost/multiprecision/cpp_int.hpp>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "exact_counts.hpp"
#include "support/formulas.hpp"

namespace monocount::bench::reference {

using Count = boost::multiprecision::cpp_int;

// ---------------------------------------------------------------------------------------------
// Numbers

// log10 of a positive integer, to about 19 significant digits (the top 64 bits are kept).
inline long double log10Of(const Count& value) {
  if (value <= 0) throw std::invalid_argument("log10 of a non-positive count");
  const std::size_t bits = boost::multiprecision::msb(value) + 1;
  if (bits <= 64) return std::log10(static_cast<long double>(value.convert_to<std::uint64_t>()));
  const std::size_t shift = bits - 64;
  const auto top = static_cast<std::uint64_t>(value >> shift);
  return std::log10(static_cast<long double>(top)) + static_cast<long double>(shift) * std::log10(2.0L);
}

// Fibonacci numbers F(0) = 0, F(1) = 1, ... as 64-bit integers (k <= 90).
inline std::uint64_t fibonacci(int k) {
  static const std::array<std::uint64_t, 91> table = [] {
    std::array<std::uint64_t, 91> f{0, 1};
    for (std::size_t i = 2; i < f.size(); ++i) f[i] = f[i - 1] + f[i - 2];
    return f;
  }();
  if (k < 0 || k > 90) throw std::invalid_argument("fibonacci index must be 0..90");
  return table[static_cast<std::size_t>(k)];
}

// A floating-point count m * 2^exponent with m a long double: the transfer matrices rescale by
// powers of two, which is exact, so the only rounding is in the additions.
struct ScaledValue {
  long double mantissa = 0;
  long long exponent = 0;
  long double log10() const { return std::log10(mantissa) + static_cast<long double>(exponent) * std::log10(2.0L); }
  long double ln() const { return std::log(mantissa) + static_cast<long double>(exponent) * std::log(2.0L); }
};

// Sum of non-negative terms by halves: each term passes through at most ceil(log2 n)
// roundings, so the relative error is below ceil(log2 n) * 2^-64 (long double).
template <class Value>
Value pairwiseSum(const Value* values, std::size_t size) {
  if (size == 0) return Value(0);
  if (size == 1) return values[0];
  const std::size_t half = size / 2;
  Value left = pairwiseSum(values, half);
  left += pairwiseSum(values + half, size - half);
  return left;
}

// ---------------------------------------------------------------------------------------------
// Grid graphs: a site-by-site transfer matrix.
//
// The sites are added row by row, left to right. After site (x, y) the frontier holds the last
// `width` sites, (0..x, y) and (x+1..width-1, y-1); a frontier state is the set of its sites in
// the independent set. Two neighbouring frontier positions are neighbours in the grid except at
// the kink between x and x + 1, so the states are the bit strings with no two adjacent ones
// except possibly at the kink: (Fibonacci strings of length x + 1) x (of length width - x - 1).
// A Fibonacci string's index is its Zeckendorf rank, the sum of F(i + 2) over its bits i; the
// strings of length L are exactly ranks 0..F(L + 2) - 1, so one sorted list serves every length.
// A state is stored at index rank(high part) * count(low part) + rank(low part).
//
// Adding site x (new kink after x, old kink after x - 1): a new state t without site x sums the
// old states t and t + {x} (the latter only when site x + 1 of t, the old row's site above-right,
// is out: in the old frontier x and x + 1 are neighbouring positions); a new state with site x
// takes the old state t - {x}, the site above being out, and site x - 1 is out by the state's
// form. Both old states differ only at position x, the lowest position of the old high part,
// whose Zeckendorf weight is F(2) = 1, so their old indices differ by count(old low part).
template <class Value>
class GridTransfer {
 public:
  // Before row 0: the frontier is an empty row, one state of weight 1. Width 1..34: a site's
  // states number at most about 1.4 phi^width (31: 4e6), held twice.
  explicit GridTransfer(int width) : width_(width) {
    if (width < 1 || width > 34) throw std::invalid_argument("grid transfer width must be 1..34");
    strings_.push_back(0);  // length 0
    strings_.push_back(1);  // length 1: "0", "1"
    for (int length = 1; length < width; ++length) {
      // Strings of length + 1 with the top bit set: the top bit over a string of length - 1.
      const std::size_t shorter = fibonacci(length + 1);
      for (std::size_t i = 0; i < shorter; ++i) strings_.push_back(strings_[i] | (std::uint64_t{1} << length));
    }
    // Old index of a high part shifted up by one position (position x out), per rank.
    for (const std::uint64_t string : strings_) {
      std::uint64_t r = 0;
      for (int i = 0; (string >> i) != 0; ++i) r += ((string >> i) & 1) != 0 ? fibonacci(i + 3) : 0;
      shiftedRank_.push_back(r);
    }
    values_.assign(fibonacci(width + 2), Value(0));
    values_[0] = Value(1);
  }

  // Adds one row of `width` sites.
  void addRow() {
    for (int x = 0; x < width_; ++x) addSite(x);
    ++rows_;
    if constexpr (std::is_same_v<Value, long double>) rescale();
  }

  int rows() const { return rows_; }

  // Independent sets of the grid so far (times 2^scaleExponent() for long double).
  Value total() const { return pairwiseSum(values_.data(), values_.size()); }
  long long scaleExponent() const { return exponent_; }

  // After a whole row: the weight of each set of that row, indexed by Zeckendorf rank.
  const std::vector<Value>& rowWeights() const { return values_; }

 private:
  void addSite(int x) {
    const std::size_t lowOld = fibonacci(x + 2);           // strings of length x
    const std::size_t lowNew = fibonacci(x + 3);           // strings of length x + 1
    const std::size_t highNew = fibonacci(width_ - x + 1);  // strings of length width - x - 1
    next_.resize(lowNew * highNew);
    for (std::size_t hi = 0; hi < highNew; ++hi) {
      const std::uint64_t high = strings_[hi];
      // Old index of (high part shifted above position x) with position x out.
      const std::size_t base = lowOld * shiftedRank_[hi];
      const bool aboveRightOut = (high & 1) == 0;
      Value* out = next_.data() + hi * lowNew;
      // Low strings without bit x: ranks 0..lowOld-1, equal to their rank as length x strings.
      for (std::size_t lo = 0; lo < lowOld; ++lo) {
        out[lo] = values_[base + lo];
        if (aboveRightOut) out[lo] += values_[base + lowOld + lo];
      }
      // Low strings with bit x: bit x over a string of length x - 1 of rank lo - lowOld.
      for (std::size_t lo = lowOld; lo < lowNew; ++lo) out[lo] = values_[base + lo - lowOld];
    }
    values_.swap(next_);
  }

  // Keeps long double weights far from overflow by an exact power-of-two scaling.
  void rescale() {
    const long double largest = *std::max_element(values_.begin(), values_.end());
    const int shift = std::ilogb(largest);
    if (shift < 4096) return;
    for (auto& v : values_) v = std::ldexp(v, -shift);
    exponent_ += shift;
  }

  int width_;
  int rows_ = 0;
  long long exponent_ = 0;
  std::vector<std::uint64_t> strings_;  // Fibonacci strings in Zeckendorf order
  std::vector<std::uint64_t> shiftedRank_;  // rank(strings_[i] << 1)
  std::vector<Value> values_;
  std::vector<Value> next_;
};

// Vertex covers of the width x height grid, exactly. Cost ~ width * height * 1.2 * phi^width
// additions of numbers of ~0.18 * width * height decimal digits.
inline Count gridCount(int width, int height) {
  if (height < 0) throw std::invalid_argument("grid height must be >= 0");
  GridTransfer<Count> transfer(width);
  for (int y = 0; y < height; ++y) transfer.addRow();
  return transfer.total();
}

// Relative error bound of the long double transfer matrix after `sites` sites with `states`
// row states: every weight is a sum of non-negative terms through at most one rounding per
// site, and the final pairwise sum adds ceil(log2 states) more; each rounding is within
// 2^-64 (the long double unit roundoff); (1 + u)^k - 1 < 1.01 k u for k u < 0.01.
inline long double floatRelativeErrorBound(long long sites, std::size_t states) {
  const long double u = std::ldexp(1.0L, -64);
  const long double k = static_cast<long double>(sites) + std::ceil(std::log2(static_cast<long double>(states)));
  return 1.01L * k * u;
}

// Vertex covers of the width x height grid in long double (rescaled, so any height), with the
// relative error bound above: below 1e-16 up to 1,800 sites.
inline ScaledValue gridCountFloat(int width, int height) {
  GridTransfer<long double> transfer(width);
  for (int y = 0; y < height; ++y) transfer.addRow();
  return {transfer.total(), transfer.scaleExponent()};
}

// ln of the vertex-cover count of every width x h grid, h = 1..maxHeight, in one pass.
inline std::vector<long double> gridLogCountsByHeight(int width, int maxHeight) {
  GridTransfer<long double> transfer(width);
  std::vector<long double> logs;
  for (int y = 0; y < maxHeight; ++y) {
    transfer.addRow();
    logs.push_back(ScaledValue{transfer.total(), transfer.scaleExponent()}.ln());
  }
  return logs;
}

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
inline GridFit fitSquareGrid(int stripWidth, int largestSquare) {
  if (stripWidth < 8 || largestSquare < 8 || largestSquare > 40) throw std::invalid_argument("fit sizes out of range");
  const int length = 4 * stripWidth;
  long double worstRowError = 0;
  const auto rowFreeEnergy = [&](int width) {
    const std::vector<long double> logs = gridLogCountsByHeight(width, length);
    // Each ln is off by the count's relative error bound plus its own rounding.
    const long double error = floatRelativeErrorBound(static_cast<long long>(width) * length, fibonacci(width + 2)) +
                              std::fabs(logs.back()) * std::ldexp(1.0L, -63);
    worstRowError = std::max(worstRowError, 2 * error);
    return logs[static_cast<std::size_t>(length) - 1] - logs[static_cast<std::size_t>(length) - 2];
  };
  GridFit fit;
  const long double g = rowFreeEnergy(stripWidth);
  fit.bulk = (g - rowFreeEnergy(stripWidth - 6)) / 6;
  fit.surface = g - fit.bulk * stripWidth;
  // The strips' own corrections, estimated by the same fit one width lower.
  const long double lowerBulk = (rowFreeEnergy(stripWidth - 1) - rowFreeEnergy(stripWidth - 7)) / 6;
  fit.bulkError = 2 * worstRowError / 6 + std::fabs(fit.bulk - lowerBulk);
  fit.surfaceError = worstRowError + stripWidth * fit.bulkError;
  long double c[3];
  for (int i = 0; i < 3; ++i) {
    const int n = largestSquare - 2 + i;
    c[i] = gridCountFloat(n, n).ln() - fit.bulk * n * n - 2 * fit.surface * n;
  }
  const long double last = c[2] - c[1];
  const long double before = c[1] - c[0];
  fit.corner = c[2] - last * last / (last - before);
  fit.cornerError = std::fabs(last);
  return fit;
}

// A plain least-squares fit of f, s and c through ln Z(w, h) for every lo <= w, h <= hi, the
// comparison for fitSquareGrid: its corrections at the small sides spoil f.
inline GridFit leastSquaresGridFit(int lo, int hi) {
  long double a[3][3] = {};
  long double b[3] = {};
  for (int w = lo; w <= hi; ++w) {
    const std::vector<long double> logs = gridLogCountsByHeight(w, hi);
    for (int h = lo; h <= hi; ++h) {
      const long double row[3] = {static_cast<long double>(w) * h, static_cast<long double>(w + h), 1.0L};
      for (int i = 0; i < 3; ++i) {
        b[i] += row[i] * logs[static_cast<std::size_t>(h) - 1];
        for (int j = 0; j < 3; ++j) a[i][j] += row[i] * row[j];
      }
    }
  }
  // Gaussian elimination with partial pivoting.
  for (int col = 0; col < 3; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 3; ++r) {
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    }
    std::swap(a[col], a[pivot]);
    std::swap(b[col], b[pivot]);
    for (int r = col + 1; r < 3; ++r) {
      const long double factor = a[r][col] / a[col][col];
      for (int k = col; k < 3; ++k) a[r][k] -= factor * a[col][k];
      b[r] -= factor * b[col];
    }
  }
  long double x[3];
  for (int r = 2; r >= 0; --r) {
    long double sum = b[r];
    for (int k = r + 1; k < 3; ++k) sum -= a[r][k] * x[k];
    x[r] = sum / a[r][r];
  }
  GridFit fit;
  fit.bulk = x[0];
  fit.surface = x[1];
  fit.corner = x[2];
  return fit;
}

// ---------------------------------------------------------------------------------------------
// Tori: vertex (x, y) is variable y * width + x, with clauses to ((x + 1) mod width, y) and
// (x, (y + 1) mod height). Both sides at least 3, so the graph is simple.
inline testdata::Formula torusVertexCover(int width, int height) {
  if (width < 3 || height < 3) throw std::invalid_argument("torus sides must be >= 3");
  testdata::Formula formula{width * height, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int v = y * width + x;
      formula.clauses.push_back({v, y * width + (x + 1) % width});
      formula.clauses.push_back({v, ((y + 1) % height) * width + x});
    }
  }
  return formula;
}

// Vertex covers of the width x height torus (3 <= width <= 20): trace(T^height) with T the
// 0/1 matrix of compatible rows (independent sets of the width-cycle, disjoint). Rotations and
// reflections of the cycle fix T, so (T^h)[r][r] is constant on their orbits, and
// (T^h)[r][r] = |T^a e_r|^2 (h = 2a) or (T^a e_r) . (T^(a+1) e_r) (h = 2a + 1), T symmetric.
inline Count torusCount(int width, int height) {
  if (width < 3 || width > 20 || height < 3) throw std::invalid_argument("torus needs 3 <= width <= 20, height >= 3");
  const std::uint32_t full = (std::uint32_t{1} << width) - 1;
  const auto rotate = [&](std::uint32_t s) { return ((s << 1) | (s >> (width - 1))) & full; };
  const auto reflect = [&](std::uint32_t s) {
    std::uint32_t r = 0;
    for (int i = 0; i < width; ++i) r |= ((s >> i) & 1) << (width - 1 - i);
    return r;
  };
  std::vector<std::uint32_t> rows;
  std::vector<std::int32_t> index(std::size_t{full} + 1, -1);
  for (std::uint32_t s = 0; s <= full; ++s) {
    if ((s & rotate(s)) == 0) {
      index[s] = static_cast<std::int32_t>(rows.size());
      rows.push_back(s);
    }
  }
  std::vector<std::vector<std::int32_t>> compatible(rows.size());
  for (std::size_t a = 0; a < rows.size(); ++a) {
    for (std::size_t b = 0; b < rows.size(); ++b) {
      if ((rows[a] & rows[b]) == 0) compatible[a].push_back(static_cast<std::int32_t>(b));
    }
  }
  // Orbit sizes, counted at each orbit's smallest member.
  std::vector<std::int64_t> orbitSize(rows.size(), 0);
  for (const std::uint32_t s : rows) {
    std::uint32_t smallest = s;
    std::uint32_t r = s;
    for (int i = 0; i < width; ++i, r = rotate(r)) smallest = std::min({smallest, r, reflect(r)});
    ++orbitSize[static_cast<std::size_t>(index[smallest])];
  }
  const auto apply = [&](const std::vector<Count>& v) {
    std::vector<Count> out(v.size());
    for (std::size_t b = 0; b < v.size(); ++b) {
      for (const std::int32_t a : compatible[b]) out[b] += v[static_cast<std::size_t>(a)];
    }
    return out;
  };
  Count total = 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (orbitSize[r] == 0) continue;
    std::vector<Count> v(rows.size());
    v[r] = 1;
    for (int step = 0; step < height / 2; ++step) v = apply(v);
    const std::vector<Count> w = height % 2 == 0 ? v : apply(v);
    Count diagonal = 0;
    for (std::size_t i = 0; i < v.size(); ++i) diagonal += v[i] * w[i];
    total += diagonal * orbitSize[r];
  }
  return total;
}

// ---------------------------------------------------------------------------------------------
// Paths and cycles.
inline testdata::Formula pathVertexCover(int n) {
  if (n < 1) throw std::invalid_argument("a path needs >= 1 vertex");
  testdata::Formula formula{n, {}};
  for (int v = 0; v + 1 < n; ++v) formula.clauses.push_back({v, v + 1});
  return formula;
}

inline testdata::Formula cycleVertexCover(int n) {
  if (n < 3) throw std::invalid_argument("a cycle needs >= 3 vertices");
  testdata::Formula formula = pathVertexCover(n);
  formula.clauses.push_back({n - 1, 0});
  return formula;
}

// F(n + 2): covers of a path end either in its last vertex (F(n + 1)) or in the one before.
inline Count pathCount(int n) {
  Count a = 1;  // F(1)
  Count b = 1;  // F(2)
  for (int i = 0; i < n; ++i) b = std::exchange(a, b) + b;
  return b;
}

// Lucas L(n) = F(n - 1) + F(n + 1).
inline Count cycleCount(int n) { return pathCount(n - 3) + pathCount(n - 1); }

// ---------------------------------------------------------------------------------------------
// Trees.

// The labelled tree of a uniformly random Pruefer sequence: n - 2 draws of
// std::mt19937_64(seed)() % n (n >= 3; n = 1 and 2 give the one tree there is). Edge i joins
// the smallest leaf of round i with its sequence entry; the last edge joins the two vertices
// left. Same seed, same tree on every platform.
inline testdata::Formula randomTreeVertexCover(int n, std::uint64_t seed) {
  if (n < 1) throw std::invalid_argument("a tree needs >= 1 vertex");
  testdata::Formula formula{n, {}};
  if (n == 2) formula.clauses.push_back({0, 1});
  if (n <= 2) return formula;
  std::mt19937_64 random(seed);
  std::vector<int> sequence(static_cast<std::size_t>(n - 2));
  std::vector<int> degree(static_cast<std::size_t>(n), 1);
  for (int& entry : sequence) {
    entry = static_cast<int>(random() % static_cast<std::uint64_t>(n));
    ++degree[static_cast<std::size_t>(entry)];
  }
  // Linear-time decoding: `leaf` walks up the labels, `next` follows freshly made leaves.
  int pointer = 0;
  while (degree[static_cast<std::size_t>(pointer)] != 1) ++pointer;
  int leaf = pointer;
  for (const int entry : sequence) {
    formula.clauses.push_back({leaf, entry});
    if (--degree[static_cast<std::size_t>(entry)] == 1 && entry < pointer) {
      leaf = entry;
    } else {
      ++pointer;
      while (degree[static_cast<std::size_t>(pointer)] != 1) ++pointer;
      leaf = pointer;
    }
  }
  formula.clauses.push_back({leaf, n - 1});
  return formula;
}

// Vertex covers of a forest given by two-variable clauses (throws on a cycle or a wider
// clause): for each vertex, covers of its subtree with it in (children free) and out (children
// in), by a leaves-first pass.
inline Count forestCount(const testdata::Formula& formula) {
  const auto n = static_cast<std::size_t>(formula.variables);
  std::vector<std::vector<int>> adjacent(n);
  for (const auto& clause : formula.clauses) {
    if (clause.size() != 2 || clause[0] == clause[1]) throw std::invalid_argument("forest counting needs edges of two vertices");
    adjacent[static_cast<std::size_t>(clause[0])].push_back(clause[1]);
    adjacent[static_cast<std::size_t>(clause[1])].push_back(clause[0]);
  }
  std::vector<int> parent(n, -2);
  std::vector<int> order;
  for (std::size_t root = 0; root < n; ++root) {
    if (parent[root] != -2) continue;
    parent[root] = -1;
    order.push_back(static_cast<int>(root));
    for (std::size_t head = order.size() - 1; head < order.size(); ++head) {
      const int v = order[head];
      for (const int u : adjacent[static_cast<std::size_t>(v)]) {
        if (u == parent[static_cast<std::size_t>(v)]) continue;
        if (parent[static_cast<std::size_t>(u)] != -2) throw std::invalid_argument("forest counting: the graph has a cycle");
        parent[static_cast<std::size_t>(u)] = v;
        order.push_back(u);
      }
    }
  }
  std::vector<Count> in(n, 1);
  std::vector<Count> out(n, 1);
  Count total = 1;
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const auto v = static_cast<std::size_t>(*it);
    if (parent[v] < 0) {
      total *= in[v] + out[v];
      continue;
    }
    const auto p = static_cast<std::size_t>(parent[v]);
    in[p] *= in[v] + out[v];
    out[p] *= in[v];
  }
  return total;
}

// ---------------------------------------------------------------------------------------------
// Banded random monotone k-CNF: each clause draws a start a uniformly from 0..n-window and k
// distinct variables uniformly from a..a+window-1 (a partial Fisher-Yates shuffle of the
// window), by std::mt19937_64(seed)() % range; a clause drawn before is drawn again, until m
// pairwise distinct clauses (throws after 20 m + 1000 draws: m is near the number there are).
// Clauses are listed in increasing variable order.
inline testdata::Formula bandedMonotoneCnf(int n, int m, int k, int window, std::uint64_t seed) {
  if (window < 1 || window > n || k < 1 || k > window || m < 0) {
    throw std::invalid_argument("banded CNF needs 1 <= k <= window <= n and m >= 0");
  }
  std::mt19937_64 random(seed);
  const auto below = [&](int bound) { return static_cast<int>(random() % static_cast<std::uint64_t>(bound)); };
  testdata::Formula formula{n, {}};
  std::set<std::vector<std::int32_t>> seen;
  std::vector<int> offsets(static_cast<std::size_t>(window));
  for (long long draws = 0; static_cast<int>(formula.clauses.size()) < m; ++draws) {
    if (draws > 20LL * m + 1000) throw std::invalid_argument("banded CNF: too few distinct clauses for m");
    const int start = below(n - window + 1);
    std::iota(offsets.begin(), offsets.end(), 0);
    std::vector<std::int32_t> clause;
    for (int l = 0; l < k; ++l) {
      std::swap(offsets[static_cast<std::size_t>(l)], offsets[static_cast<std::size_t>(l + below(window - l))]);
      clause.push_back(start + offsets[static_cast<std::size_t>(l)]);
    }
    std::sort(clause.begin(), clause.end());
    if (seen.insert(clause).second) formula.clauses.push_back(clause);
  }
  return formula;
}

// Models of a monotone formula whose every clause spans at most `window` consecutive variables
// (window <= 20): variables in order, the state being the values of the last `window` ones
// (bit i = variable v - i); a clause is checked when its largest variable is set.
inline Count bandedCount(const testdata::Formula& formula, int window) {
  if (window < 1 || window > 20) throw std::invalid_argument("banded counting needs a window of 1..20");
  const auto n = static_cast<std::size_t>(formula.variables);
  std::vector<std::vector<std::uint32_t>> checks(n);  // clause masks by largest variable
  for (const auto& clause : formula.clauses) {
    if (clause.empty()) return 0;
    const auto [lo, hi] = std::minmax_element(clause.begin(), clause.end());
    if (*hi - *lo >= window) throw std::invalid_argument("a clause is wider than the window");
    std::uint32_t mask = 0;
    for (const std::int32_t v : clause) mask |= std::uint32_t{1} << (*hi - v);
    checks[static_cast<std::size_t>(*hi)].push_back(mask);
  }
  const std::uint32_t states = std::uint32_t{1} << window;
  std::vector<Count> counts(states);
  std::vector<Count> next(states);
  counts[0] = 1;
  for (std::size_t v = 0; v < n; ++v) {
    for (auto& c : next) c = 0;
    for (std::uint32_t s = 0; s < states; ++s) {
      if (counts[s] == 0) continue;
      next[(s << 1) & (states - 1)] += counts[s];
      next[((s << 1) | 1) & (states - 1)] += counts[s];
    }
    for (const std::uint32_t mask : checks[v]) {
      for (std::uint32_t s = 0; s < states; ++s) {
        if ((s & mask) == 0) next[s] = 0;
      }
    }
    counts.swap(next);
  }
  Count total = 0;
  for (const Count& c : counts) total += c;
  return total;
}

// ---------------------------------------------------------------------------------------------
// Families with closed forms.

// K_(a,b): A = variables 0..a-1, B = a..a+b-1; a cover holds all of A or all of B.
inline testdata::Formula completeBipartiteVertexCover(int a, int b) {
  if (a < 1 || b < 1) throw std::invalid_argument("complete bipartite sides must be >= 1");
  testdata::Formula formula{a + b, {}};
  for (int i = 0; i < a; ++i) {
    for (int j = 0; j < b; ++j) formula.clauses.push_back({i, a + j});
  }
  return formula;
}
inline Count completeBipartiteCount(int a, int b) { return (Count(1) << a) + (Count(1) << b) - 1; }

// K_n: a cover leaves out at most one vertex.
inline testdata::Formula completeGraphVertexCover(int n) {
  if (n < 2) throw std::invalid_argument("a complete graph needs >= 2 vertices");
  testdata::Formula formula{n, {}};
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) formula.clauses.push_back({i, j});
  }
  return formula;
}
inline Count completeGraphCount(int n) { return Count(n) + 1; }

// `count` clauses of k variables each on disjoint variables (clause i: i*k..i*k+k-1).
inline testdata::Formula disjointClauses(int k, int count) {
  if (k < 1 || count < 1) throw std::invalid_argument("disjoint clauses need k >= 1 and count >= 1");
  testdata::Formula formula{k * count, {}};
  for (int i = 0; i < count; ++i) {
    std::vector<std::int32_t> clause;
    for (int j = 0; j < k; ++j) clause.push_back(i * k + j);
    formula.clauses.push_back(clause);
  }
  return formula;
}
inline Count disjointClausesCount(int k, int count) { return boost::multiprecision::pow((Count(1) << k) - 1, static_cast<unsigned>(count)); }

// Variables renamed by a uniformly random permutation, clause order and each clause's literal
// order shuffled, all by std::mt19937_64(seed): the model count is unchanged.
inline testdata::Formula shuffled(testdata::Formula formula, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  const auto shuffle = [&](auto& items) {
    for (std::size_t i = items.size(); i > 1; --i) std::swap(items[i - 1], items[random() % i]);
  };
  std::vector<std::int32_t> name(static_cast<std::size_t>(formula.variables));
  std::iota(name.begin(), name.end(), 0);
  shuffle(name);
  for (auto& clause : formula.clauses) {
    for (auto& v : clause) v = name[static_cast<std::size_t>(v)];
    shuffle(clause);
  }
  shuffle(formula.clauses);
  return formula;
}

// `blocks` random 3-CNF blocks, block i = testdata::randomDistinct3Cnf(blockVariables,
// blockClauses, seed + i) on variables i*blockVariables.., then shuffled(..., seed).
inline testdata::Formula randomBlocks(int blocks, int blockVariables, int blockClauses, std::uint32_t seed) {
  if (blocks < 1 || blockVariables > 64) throw std::invalid_argument("blocks need >= 1 block of <= 64 variables");
  testdata::Formula formula{blocks * blockVariables, {}};
  for (int i = 0; i < blocks; ++i) {
    for (auto clause : testdata::randomDistinct3Cnf(blockVariables, blockClauses, seed + static_cast<std::uint32_t>(i)).clauses) {
      for (auto& v : clause) v += i * blockVariables;
      formula.clauses.push_back(clause);
    }
  }
  return shuffled(formula, seed);
}

inline Count randomBlocksCount(int blocks, int blockVariables, int blockClauses, std::uint32_t seed) {
  Count total = 1;
  for (int i = 0; i < blocks; ++i) {
    total *= MonotoneCounter().count(testdata::randomDistinct3Cnf(blockVariables, blockClauses, seed + static_cast<std::uint32_t>(i)));
  }
  return total;
}

// ---------------------------------------------------------------------------------------------
// A general counter for checking the others: variables are set in index order and the state is
// the values of the variables set so far that some unchecked clause still holds (at most 64);
// a clause is checked when its largest variable is set, and a variable leaves the state after
// its last clause is checked. Throws when a state would hold more than 64 variables or there
// are more than `maxStates` states.
inline Count frontierCount(const testdata::Formula& formula, std::size_t maxStates = std::size_t{1} << 22) {
  const auto n = static_cast<std::size_t>(formula.variables);
  std::vector<std::vector<std::size_t>> checkedAt(n);  // clause indices by largest variable
  std::vector<int> lastCheck(n, -1);                    // largest variable of its last clause
  for (std::size_t c = 0; c < formula.clauses.size(); ++c) {
    const auto& clause = formula.clauses[c];
    if (clause.empty()) return 0;
    const int top = *std::max_element(clause.begin(), clause.end());
    checkedAt[static_cast<std::size_t>(top)].push_back(c);
    for (const std::int32_t v : clause) lastCheck[static_cast<std::size_t>(v)] = std::max(lastCheck[static_cast<std::size_t>(v)], top);
  }
  std::vector<int> slotOf(n, -1);
  std::uint64_t usedSlots = 0;
  std::unordered_map<std::uint64_t, Count> states{{0, 1}};
  std::vector<std::vector<int>> leaveAt(n);
  for (std::size_t v = 0; v < n; ++v) leaveAt[static_cast<std::size_t>(std::max(lastCheck[v], static_cast<int>(v)))].push_back(static_cast<int>(v));
  for (std::size_t v = 0; v < n; ++v) {
    if (usedSlots == ~std::uint64_t{0}) throw std::length_error("frontier counter: more than 64 variables in use");
    const int slot = std::countr_one(usedSlots);
    usedSlots |= std::uint64_t{1} << slot;
    slotOf[v] = slot;
    std::vector<std::uint64_t> masks;
    for (const std::size_t c : checkedAt[v]) {
      std::uint64_t mask = 0;
      for (const std::int32_t u : formula.clauses[c]) mask |= std::uint64_t{1} << slotOf[static_cast<std::size_t>(u)];
      masks.push_back(mask);
    }
    std::uint64_t leaving = 0;
    for (const int u : leaveAt[v]) leaving |= std::uint64_t{1} << slotOf[static_cast<std::size_t>(u)];
    std::unordered_map<std::uint64_t, Count> next;
    for (const auto& [state, count] : states) {
      for (const std::uint64_t value : {std::uint64_t{0}, std::uint64_t{1} << slot}) {
        const std::uint64_t s = state | value;
        if (std::all_of(masks.begin(), masks.end(), [&](std::uint64_t m) { return (s & m) != 0; })) next[s & ~leaving] += count;
      }
    }
    if (next.size() > maxStates) throw std::length_error("frontier counter: too many states");
    states.swap(next);
    usedSlots &= ~leaving;
  }
  Count total = 0;
  for (const auto& [state, count] : states) total += count;
  return total;
}

}  // namespace monocount::bench::reference
