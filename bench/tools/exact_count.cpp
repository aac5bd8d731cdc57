// Prints the exact number of satisfying assignments of a formula of the accuracy benchmark,
// in decimal, computed without sampling (see exact_counts.hpp):
//   exact_count grid ROWS COLUMNS | hypercube DIMENSION | random3 VARIABLES CLAUSES SEED
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "accuracy_formulas.hpp"
#include "support/exact_counts.hpp"

int main(int argc, char** argv) {
  using namespace monocount::bench;
  try {
    const std::vector<std::string> words(argv + 1, argv + argc);
    std::cout << exactCountFromWords(words, formulaFromWords(words)) << '\n';
  } catch (const std::exception& error) {
    std::cerr << "exact_count: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
