#include <unistd.h>

#include <iostream>

#include "driver/experiment.hpp"
#ifdef MONOCOUNT_MPI
#include "driver/mpi_ranks.hpp"
#endif

int main(int argc, char* argv[]) {
#ifdef MONOCOUNT_MPI
  if (monocount::launchedByMpi()) return monocount::runOnRanks(argc, argv);
#endif
  return monocount::runExperiment(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
