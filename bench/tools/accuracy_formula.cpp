// Writes a formula of the accuracy benchmark in DIMACS CNF to standard output:
//   accuracy_formula grid ROWS COLUMNS | hypercube DIMENSION | random3 VARIABLES CLAUSES SEED
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "accuracy_formulas.hpp"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> words(argv + 1, argv + argc);
    monocount::support::writeDimacs(monocount::bench::formulaFromWords(words), std::cout);
  } catch (const std::exception& error) {
    std::cerr << "accuracy_formula: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
