#pragma once

#include <iosfwd>

#include "estimation/parallel/rank_group.hpp"

namespace monocount {

// The whole program: parses the command line, loads the problem, runs and times the
// replications and writes the report to `out`; command-line errors and progress go to `err`
// (progress only when `errIsTerminal`). Returns the exit status:
//   0    the run completed, or --help or --version was given;
//   1    --problem, --N or --R is missing;
//   2    the experiment failed (a refused problem file, exhausted memory, ...), or `out` could
//        not be written;
//   -1   the command line was refused (255 as the shell sees it).
// With `ranks`, every rank of the group runs this with the same arguments; each reads the
// problem itself, and all of them end with the same status. Only rank 0 should be handed the
// real streams.
int runExperiment(int argc, const char* const argv[], std::ostream& out, std::ostream& err, bool errIsTerminal,
                  RankGroup* ranks = nullptr);

}  // namespace monocount
