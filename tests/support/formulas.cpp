#include "support/formulas.hpp"

#include <algorithm>
#include <numeric>
#include <random>
#include <set>
#include <stdexcept>

namespace monocount::support {

Problem toProblem(const Formula& formula) {
  Problem problem;
  problem.variableCount = formula.variables;
  problem.clauseCount = static_cast<std::int32_t>(formula.clauses.size());
  for (const auto& clause : formula.clauses) {
    problem.literals.insert(problem.literals.end(), clause.begin(), clause.end());
    problem.clauseBegin.push_back(static_cast<std::uint32_t>(problem.literals.size()));
  }
  return problem;
}

Clauses clausesOf(const Problem& problem) {
  Clauses clauses;
  for (std::int32_t c = 0; c < problem.clauseCount; ++c) {
    const auto clause = problem.clause(c);
    clauses.emplace_back(clause.begin(), clause.end());
  }
  return clauses;
}

void writeDimacs(const Formula& formula, std::ostream& out) {
  out << "p cnf " << formula.variables << " " << formula.clauses.size() << "\n";
  for (const auto& clause : formula.clauses) {
    for (const std::int32_t v : clause) out << v + 1 << " ";
    out << "0\n";
  }
}

Formula gridVertexCover(std::int32_t width, std::int32_t height) {
  Formula formula{width * height, {}};
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::int32_t v = y * width + x;
      if (x + 1 < width) formula.clauses.push_back({v, v + 1});
      if (y + 1 < height) formula.clauses.push_back({v, v + width});
    }
  }
  return formula;
}

Formula hypercubeVertexCover(std::int32_t dimension) {
  Formula formula{std::int32_t{1} << dimension, {}};
  for (std::int32_t x = 0; x < formula.variables; ++x) {
    for (std::int32_t bit = 0; bit < dimension; ++bit) {
      const std::int32_t y = x ^ (std::int32_t{1} << bit);
      if (x < y) formula.clauses.push_back({x, y});
    }
  }
  return formula;
}

Formula matching(std::int32_t pairs) {
  Formula formula{2 * pairs, {}};
  for (std::int32_t p = 0; p < pairs; ++p) formula.clauses.push_back({2 * p, 2 * p + 1});
  return formula;
}

Formula randomMonotoneCnf(std::int32_t n, std::int32_t m, std::int32_t k, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  const auto below = [&](std::int32_t bound) {
    return static_cast<std::int32_t>(random() % static_cast<std::uint64_t>(bound));
  };
  Formula formula{n, {}};
  std::vector<std::int32_t> pool(static_cast<std::size_t>(n));
  for (std::int32_t v = 0; v < n; ++v) pool[static_cast<std::size_t>(v)] = v;
  for (std::int32_t c = 0; c < m; ++c) {
    // A partial Fisher-Yates draws k distinct variables.
    std::vector<std::int32_t> clause;
    for (std::int32_t l = 0; l < k; ++l) {
      std::swap(pool[static_cast<std::size_t>(l)], pool[static_cast<std::size_t>(l + below(n - l))]);
      clause.push_back(pool[static_cast<std::size_t>(l)]);
    }
    formula.clauses.push_back(clause);
  }
  return formula;
}

Formula randomMixedCnf(std::int32_t n, std::int32_t m, std::int32_t maxWidth, std::uint32_t seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<std::int32_t> width(1, maxWidth);
  std::uniform_int_distribution<std::int32_t> variable(1, n);
  Formula formula{n, Clauses(static_cast<std::size_t>(m))};
  for (auto& clause : formula.clauses) {
    const std::int32_t size = width(generator);
    for (std::int32_t i = 0; i < size; ++i) clause.push_back(variable(generator) - 1);
  }
  return formula;
}

Formula randomDistinct3Cnf(std::int32_t n, std::int32_t m, std::uint32_t seed) {
  if (n < 3) throw std::invalid_argument("random 3-CNF needs at least 3 variables");
  std::mt19937 generator(seed);
  Formula formula{n, {}};
  std::set<std::vector<std::int32_t>> seen;
  while (static_cast<std::int32_t>(formula.clauses.size()) < m) {
    std::set<std::int32_t> variables;
    while (variables.size() < 3) variables.insert(static_cast<std::int32_t>(generator() % static_cast<std::uint32_t>(n)));
    std::vector<std::int32_t> clause(variables.begin(), variables.end());
    if (seen.insert(clause).second) formula.clauses.push_back(clause);
  }
  return formula;
}

Formula kingVertexCover(int width, int height) {
  Formula formula{width * height, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int v = y * width + x;
      if (x + 1 < width) formula.clauses.push_back({v, v + 1});
      if (y + 1 < height) {
        if (x > 0) formula.clauses.push_back({v, v + width - 1});
        formula.clauses.push_back({v, v + width});
        if (x + 1 < width) formula.clauses.push_back({v, v + width + 1});
      }
    }
  }
  return formula;
}

Formula torusVertexCover(int width, int height) {
  if (width < 3 || height < 3) throw std::invalid_argument("torus sides must be >= 3");
  Formula formula{width * height, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int v = y * width + x;
      formula.clauses.push_back({v, y * width + (x + 1) % width});
      formula.clauses.push_back({v, ((y + 1) % height) * width + x});
    }
  }
  return formula;
}

Formula pathVertexCover(int n) {
  if (n < 1) throw std::invalid_argument("a path needs >= 1 vertex");
  Formula formula{n, {}};
  for (int v = 0; v + 1 < n; ++v) formula.clauses.push_back({v, v + 1});
  return formula;
}

Formula cycleVertexCover(int n) {
  if (n < 3) throw std::invalid_argument("a cycle needs >= 3 vertices");
  Formula formula = pathVertexCover(n);
  formula.clauses.push_back({n - 1, 0});
  return formula;
}

Formula randomTreeVertexCover(int n, std::uint64_t seed) {
  if (n < 1) throw std::invalid_argument("a tree needs >= 1 vertex");
  Formula formula{n, {}};
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

Formula bandedMonotoneCnf(int n, int m, int k, int window, std::uint64_t seed) {
  if (window < 1 || window > n || k < 1 || k > window || m < 0) {
    throw std::invalid_argument("banded CNF needs 1 <= k <= window <= n and m >= 0");
  }
  std::mt19937_64 random(seed);
  const auto below = [&](int bound) { return static_cast<int>(random() % static_cast<std::uint64_t>(bound)); };
  Formula formula{n, {}};
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

Formula completeBipartiteVertexCover(int a, int b) {
  if (a < 1 || b < 1) throw std::invalid_argument("complete bipartite sides must be >= 1");
  Formula formula{a + b, {}};
  for (int i = 0; i < a; ++i) {
    for (int j = 0; j < b; ++j) formula.clauses.push_back({i, a + j});
  }
  return formula;
}

Formula completeGraphVertexCover(int n) {
  if (n < 2) throw std::invalid_argument("a complete graph needs >= 2 vertices");
  Formula formula{n, {}};
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) formula.clauses.push_back({i, j});
  }
  return formula;
}

Formula disjointClauses(int k, int count) {
  if (k < 1 || count < 1) throw std::invalid_argument("disjoint clauses need k >= 1 and count >= 1");
  Formula formula{k * count, {}};
  for (int i = 0; i < count; ++i) {
    std::vector<std::int32_t> clause;
    for (int j = 0; j < k; ++j) clause.push_back(i * k + j);
    formula.clauses.push_back(clause);
  }
  return formula;
}

Formula shuffled(Formula formula, std::uint64_t seed) {
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

Formula randomBlocks(int blocks, int blockVariables, int blockClauses, std::uint32_t seed) {
  if (blocks < 1 || blockVariables > 64) throw std::invalid_argument("blocks need >= 1 block of <= 64 variables");
  Formula formula{blocks * blockVariables, {}};
  for (int i = 0; i < blocks; ++i) {
    for (auto clause : randomDistinct3Cnf(blockVariables, blockClauses, seed + static_cast<std::uint32_t>(i)).clauses) {
      for (auto& v : clause) v += i * blockVariables;
      formula.clauses.push_back(clause);
    }
  }
  return shuffled(formula, seed);
}

}  // namespace monocount::support
