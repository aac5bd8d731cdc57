#include <unistd.h>

#include <iostream>

#include "driver/experiment.hpp"

int main(int argc, char* argv[]) {
  return monocount::runExperiment(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
