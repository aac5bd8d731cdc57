// Writes a benchmark formula in DIMACS CNF to standard output:
//   make_formula grid WIDTH HEIGHT         vertex cover of the grid graph, one clause "u v 0" per edge
//   make_formula random N M K SEED         random monotone K-CNF: M clauses of K distinct variables

#include <cstdlib>
#include <iostream>
#include <string>

#include "support/formulas.hpp"

namespace {

int usage() {
  std::cerr << "usage: make_formula grid WIDTH HEIGHT\n"
               "       make_formula random VARIABLES CLAUSES WIDTH SEED\n";
  return 2;
}

bool positive(const char* text, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  return *text != '\0' && *end == '\0' && value > 0 && value < (1L << 30);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace monocount::support;
  if (argc < 2) return usage();
  const std::string kind = argv[1];
  long a = 0, b = 0, c = 0, seed = 0;
  if (kind == "grid" && argc == 4 && positive(argv[2], a) && positive(argv[3], b)) {
    writeDimacs(gridVertexCover(static_cast<std::int32_t>(a), static_cast<std::int32_t>(b)), std::cout);
    return 0;
  }
  if (kind == "random" && argc == 6 && positive(argv[2], a) && positive(argv[3], b) && positive(argv[4], c) &&
      positive(argv[5], seed) && c <= a) {
    writeDimacs(randomMonotoneCnf(static_cast<std::int32_t>(a), static_cast<std::int32_t>(b),
                                  static_cast<std::int32_t>(c), static_cast<std::uint64_t>(seed)),
                std::cout);
    return 0;
  }
  return usage();
}
