#pragma once

#include "problem/problem.hpp"
#include "problem/variable_probabilities.hpp"

namespace monocount {

// A formula under a law, with its certain variables taken out (removeCertainVariables).
struct CertainVariablesRemoved {
  enum class Outcome {
    uncertain,    // the formula holds with a chance strictly between 0 and 1 (or so it seems:
                  // no clause is decided, at least one remains)
    alwaysHolds,  // no clause remains: the formula holds with chance 1
    neverHolds,   // a clause is left empty: the formula fails with chance 1
  } outcome = Outcome::uncertain;
  // For uncertain: the remaining clauses over the remaining variables (at least one of each),
  // renumbered in increasing order of their old index, and their chances, each strictly
  // between 0 and 1 (uniform when the law was). Empty otherwise.
  Problem problem;
  VariableProbabilities law;
};

// Takes out of `problem` the variables whose chance under `law` is certain: a variable that is
// always true (chance of false 0) satisfies its clauses, which leave with it; a variable that is
// always false (chance of true 0) leaves the clauses it is in, and a clause left without any
// variable makes the formula fail. The chance that the formula holds is the same before and
// after. Works in place on `problem`'s storage; takes memory for one index per variable when the
// law is per variable, none when it is uniform.
CertainVariablesRemoved removeCertainVariables(Problem problem, const VariableProbabilities& law);

}  // namespace monocount
