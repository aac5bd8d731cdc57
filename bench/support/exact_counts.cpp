#include "support/exact_counts.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numeric>
#include <stdexcept>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "support/enumeration.hpp"

namespace monocount::support {

namespace {

Count power2(int exponent) { return Count(1) << exponent; }

}  // namespace

Count hypercubeCoverCount(std::int32_t dimension) {
  if (dimension < 0 || dimension > 6) throw std::invalid_argument("hypercube dimension must be 0..6");
  if (dimension <= 2) return Count(enumeratedCount(hypercubeVertexCover(dimension)));
  const std::int32_t base = dimension - 2;
  const std::uint32_t vertices = std::uint32_t{1} << base;
  const std::uint32_t full = vertices == 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << vertices) - 1;
  std::vector<std::uint32_t> independent;
  for (std::uint64_t set = 0; set <= full; ++set) {
    bool ok = true;
    for (std::uint32_t x = 0; x < vertices && ok; ++x) {
      for (std::int32_t bit = 0; bit < base && ok; ++bit) {
        const std::uint32_t y = x ^ (std::uint32_t{1} << bit);
        ok = !((set >> x & 1) != 0 && (set >> y & 1) != 0);
      }
    }
    if (ok) independent.push_back(static_cast<std::uint32_t>(set));
  }
  // inside[U] = independent sets inside U (a subset sum), so h(U) = inside[complement of U].
  std::vector<std::uint64_t> inside(std::size_t{full} + 1, 0);
  for (const std::uint32_t set : independent) ++inside[set];
  for (std::uint32_t bit = 0; bit < vertices; ++bit) {
    for (std::uint64_t set = 0; set <= full; ++set) {
      if ((set >> bit & 1) != 0) inside[set] += inside[set ^ (std::uint64_t{1} << bit)];
    }
  }
  Count total = 0;
  for (const std::uint32_t a : independent) {
    for (const std::uint32_t c : independent) {
      const Count h = inside[~(a | c) & full];
      total += h * h;
    }
  }
  return total;
}

Count MonotoneCounter::count(const Formula& formula) {
  if (formula.variables > 64) throw std::invalid_argument("the exhaustive counter takes at most 64 variables");
  std::vector<std::uint64_t> clauses;
  for (const auto& clause : formula.clauses) {
    std::uint64_t mask = 0;
    for (const std::int32_t v : clause) mask |= std::uint64_t{1} << v;
    if (mask == 0) return 0;
    clauses.push_back(mask);
  }
  const std::uint64_t all = formula.variables == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << formula.variables) - 1;
  return countFormula(std::move(clauses), all);
}

std::size_t MonotoneCounter::KeyHash::operator()(const std::vector<std::uint64_t>& key) const {
  std::uint64_t h = 0x9E3779B97F4A7C15ull;
  for (const std::uint64_t word : key) h = (h ^ word) * 0x100000001B3ull + (h >> 29);
  return static_cast<std::size_t>(h);
}

Count MonotoneCounter::countFormula(std::vector<std::uint64_t> clauses, std::uint64_t variables) {
  // Units are forced true, which satisfies every clause holding them.
  for (;;) {
    std::uint64_t units = 0;
    for (const std::uint64_t clause : clauses) {
      if (std::popcount(clause) == 1) units |= clause;
    }
    if (units == 0) break;
    variables &= ~units;
    std::erase_if(clauses, [&](std::uint64_t clause) { return (clause & units) != 0; });
  }
  // A clause containing another one adds no condition.
  std::sort(clauses.begin(), clauses.end(),
            [](std::uint64_t a, std::uint64_t b) { return std::popcount(a) != std::popcount(b) ? std::popcount(a) < std::popcount(b) : a < b; });
  std::vector<std::uint64_t> kept;
  for (const std::uint64_t clause : clauses) {
    if (std::none_of(kept.begin(), kept.end(), [&](std::uint64_t k) { return (k & clause) == k; })) kept.push_back(clause);
  }
  std::uint64_t used = 0;
  for (const std::uint64_t clause : kept) used |= clause;
  Count result = power2(std::popcount(variables & ~used));
  // Components: clauses linked through shared variables.
  std::vector<bool> placed(kept.size(), false);
  for (std::size_t seed = 0; seed < kept.size(); ++seed) {
    if (placed[seed]) continue;
    std::uint64_t reach = kept[seed];
    std::vector<std::uint64_t> component;
    bool grew = true;
    while (grew) {
      grew = false;
      for (std::size_t i = 0; i < kept.size(); ++i) {
        if (!placed[i] && (kept[i] & reach) != 0) {
          placed[i] = true;
          reach |= kept[i];
          component.push_back(kept[i]);
          grew = true;
        }
      }
    }
    std::sort(component.begin(), component.end());
    result *= countComponent(component, reach);
    if (result == 0) break;
  }
  return result;
}

Count MonotoneCounter::countComponent(const std::vector<std::uint64_t>& clauses, std::uint64_t variables) {
  const auto cached = cache_.find(clauses);
  if (cached != cache_.end()) return cached->second;
  int best = 0;
  int bestOccurrences = -1;
  for (int v = 0; v < 64; ++v) {
    if ((variables >> v & 1) == 0) continue;
    int occurrences = 0;
    for (const std::uint64_t clause : clauses) occurrences += static_cast<int>(clause >> v & 1);
    if (occurrences > bestOccurrences) {
      best = v;
      bestOccurrences = occurrences;
    }
  }
  const std::uint64_t bit = std::uint64_t{1} << best;
  std::vector<std::uint64_t> whenTrue;
  std::vector<std::uint64_t> whenFalse;
  for (const std::uint64_t clause : clauses) {
    if ((clause & bit) == 0) whenTrue.push_back(clause);
    whenFalse.push_back(clause & ~bit);
  }
  Count result = countFormula(std::move(whenTrue), variables & ~bit);
  if (std::none_of(whenFalse.begin(), whenFalse.end(), [](std::uint64_t clause) { return clause == 0; })) {
    result += countFormula(std::move(whenFalse), variables & ~bit);
  }
  cache_.emplace(clauses, result);
  return result;
}

long double log10Of(const Count& value) {
  if (value <= 0) throw std::invalid_argument("log10 of a non-positive count");
  const std::size_t bits = boost::multiprecision::msb(value) + 1;
  if (bits <= 64) return std::log10(static_cast<long double>(value.convert_to<std::uint64_t>()));
  const std::size_t shift = bits - 64;
  const auto top = static_cast<std::uint64_t>(value >> shift);
  return std::log10(static_cast<long double>(top)) + static_cast<long double>(shift) * std::log10(2.0L);
}

std::uint64_t fibonacci(int k) {
  static const std::array<std::uint64_t, 91> table = [] {
    std::array<std::uint64_t, 91> f{0, 1};
    for (std::size_t i = 2; i < f.size(); ++i) f[i] = f[i - 1] + f[i - 2];
    return f;
  }();
  if (k < 0 || k > 90) throw std::invalid_argument("fibonacci index must be 0..90");
  return table[static_cast<std::size_t>(k)];
}

namespace {

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
// With an activity, a state with site x weighs `activity` times the old state.
template <class Value>
class GridTransfer {
 public:
  // Before row 0: the frontier is an empty row, one state of weight 1. Width 1..34: a site's
  // states number at most about 1.4 phi^width (31: 4e6), held twice. An activity other than 1
  // weighs every set by activity^(its size) (long double only).
  explicit GridTransfer(int width, long double activity = 1.0L) : width_(width), activity_(activity) {
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
      if constexpr (std::is_same_v<Value, long double>) {
        if (activity_ != 1.0L) {
          for (std::size_t lo = lowOld; lo < lowNew; ++lo) out[lo] = activity_ * values_[base + lo - lowOld];
          continue;
        }
      }
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
  long double activity_;
  int rows_ = 0;
  long long exponent_ = 0;
  std::vector<std::uint64_t> strings_;  // Fibonacci strings in Zeckendorf order
  std::vector<std::uint64_t> shiftedRank_;  // rank(strings_[i] << 1)
  std::vector<Value> values_;
  std::vector<Value> next_;
};

}  // namespace

Count gridCount(int width, int height) {
  if (height < 0) throw std::invalid_argument("grid height must be >= 0");
  GridTransfer<Count> transfer(width);
  for (int y = 0; y < height; ++y) transfer.addRow();
  return transfer.total();
}

long double floatRelativeErrorBound(long long sites, std::size_t states) {
  const long double u = std::ldexp(1.0L, -64);
  const long double k = static_cast<long double>(sites) + std::ceil(std::log2(static_cast<long double>(states)));
  return 1.01L * k * u;
}

ScaledValue gridCountFloat(int width, int height, long double activity) {
  GridTransfer<long double> transfer(width, activity);
  for (int y = 0; y < height; ++y) transfer.addRow();
  return {transfer.total(), transfer.scaleExponent()};
}

std::vector<long double> gridLogCountsByHeight(int width, int maxHeight, long double activity) {
  GridTransfer<long double> transfer(width, activity);
  std::vector<long double> logs;
  for (int y = 0; y < maxHeight; ++y) {
    transfer.addRow();
    logs.push_back(ScaledValue{transfer.total(), transfer.scaleExponent()}.ln());
  }
  return logs;
}

GridFit fitSquareGrid(int stripWidth, int largestSquare, long double activity) {
  if (stripWidth < 8 || largestSquare < 8 || largestSquare > 40) throw std::invalid_argument("fit sizes out of range");
  const int length = 4 * stripWidth;
  long double worstRowError = 0;
  const auto rowFreeEnergy = [&](int width) {
    const std::vector<long double> logs = gridLogCountsByHeight(width, length, activity);
    // Each ln is off by the count's relative error bound plus its own rounding (an activity
    // adds a rounding per site).
    const long long roundings = static_cast<long long>(width) * length * (activity == 1.0L ? 1 : 2);
    const long double error = floatRelativeErrorBound(roundings, fibonacci(width + 2)) +
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
    c[i] = gridCountFloat(n, n, activity).ln() - fit.bulk * n * n - 2 * fit.surface * n;
  }
  const long double last = c[2] - c[1];
  const long double before = c[1] - c[0];
  fit.corner = c[2] - last * last / (last - before);
  fit.cornerError = std::fabs(last);
  return fit;
}

GridFit leastSquaresGridFit(int lo, int hi) {
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

Count torusCount(int width, int height) {
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

Count pathCount(int n) {
  Count a = 1;  // F(1)
  Count b = 1;  // F(2)
  for (int i = 0; i < n; ++i) b = std::exchange(a, b) + b;
  return b;
}

Count cycleCount(int n) { return pathCount(n - 3) + pathCount(n - 1); }

Count forestCount(const Formula& formula) {
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

Count bandedCount(const Formula& formula, int window) {
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

Count completeBipartiteCount(int a, int b) { return (Count(1) << a) + (Count(1) << b) - 1; }

Count completeGraphCount(int n) { return Count(n) + 1; }

Count disjointClausesCount(int k, int count) { return boost::multiprecision::pow((Count(1) << k) - 1, static_cast<unsigned>(count)); }

Count randomBlocksCount(int blocks, int blockVariables, int blockClauses, std::uint32_t seed) {
  Count total = 1;
  for (int i = 0; i < blocks; ++i) {
    total *= MonotoneCounter().count(randomDistinct3Cnf(blockVariables, blockClauses, seed + static_cast<std::uint32_t>(i)));
  }
  return total;
}

Count frontierCount(const Formula& formula, std::size_t maxStates) {
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

}  // namespace monocount::support
