#pragma once

#include <cstdint>
#include <vector>

#include "estimation/numerics/running_statistics.hpp"
#include "estimation/numerics/stage_tails.hpp"
#include "estimation/parallel/block_runner.hpp"
#include "estimation/parallel/rank_group.hpp"
#include "estimation/randomness/split_engine.hpp"
#include "estimation/replication.hpp"
#include "problem/occurrence_table.hpp"
#include "problem/problem.hpp"
#include "problem/variable_probabilities.hpp"

namespace monocount {

// Crude sampling under a law with a chance per variable: permutation Monte Carlo on the
// evolution process. Variable v becomes true at an independent exponential time of rate
// r_v = -ln(falsity_v); a sample draws those times and walks the variables in their order. A
// variable whose clauses are all touched already can no longer matter and is dropped from the
// process when that happens; each of the others that comes next opens a stage, until every
// clause is touched after L stages. Given that sequence, stage j lasts an exponential time of
// rate R_j, the sum of the rates of the variables still in the process (not yet true, not
// dropped), and the formula holds at time 1 exactly when the L stages are over by then:
//   holds = P(E_1 / R_1 + ... + E_L / R_L <= 1),  fails = P(... > 1)
// (StageTailCalculator, each side to its own precision). Their means over the samples estimate
// the chance that the formula holds and that it fails, both without bias; each comes with the
// relative standard error of its own values. Dropping the variables that no longer matter
// shortens the stages and spreads the failing chance over more samples: on the dodecahedron's
// cut formula with every link failing with chance 1e-6, a sample's relative variance of `fails`
// is about 13, against about 2000 when every variable stays in the process until the clauses
// are all touched; as every chance goes to 1 it stays bounded.
//
// A sample costs a sort of the arrival times, two passes over the clauses (walkByMasks for at
// most 64 variables, walkByPositions beyond) and the stage tails, whose cost grows with the sum
// of the rates (a few hundred when chances are near 1): some 30 microseconds on that formula
// (30 variables, 7,376 clauses), 60 on the 10 x 10 grid's vertex covers at chance 0.999 (100
// variables, sum of the rates 690).
//
// Samples come in blocks of samplesPerBlock(n); block b of replication r (counted from 0, one
// per call) draws from derivedEngine({seed, samples, r, b}), so a block's values depend on
// (seed, r, b) alone. The blocks run on the worker threads and ranks in any order; the
// statistics of each block (count, mean and squared deviations of both sides) are merged in
// block order, so every digit is the same for any number of threads or ranks.
//
// Needs a formula with at least one clause and no empty clause (the constructor throws
// std::invalid_argument otherwise, as needsSampling does) and every chance strictly between 0
// and 1 (removeCertainVariables takes the others out first; not checked).
class EvolutionEstimator {
 public:
  // Run by `parallelism.threads` workers in each of the ranks (this process alone when
  // parallelism.ranks is null); the ranks must call estimateModelCount together. Keeps a
  // reference to `problem`, which must outlive the estimator, and copies what it needs of `law`.
  EvolutionEstimator(const Problem& problem, const VariableProbabilities& law, std::uint32_t seed,
                     const Parallelism& parallelism);

  // About what the estimator takes for `problem` with replications of `sampleSize` samples on
  // `workers` workers: the shared tables and each busy worker's scratch (`tables`), and the
  // statistics of every block of a replication (`samples`, 160 bytes per block).
  static MemoryNeed memoryNeeded(const Problem& problem, std::int32_t sampleSize, std::int32_t workers);

  // One replication of `sampleSize` >= 1 samples:
  //   laws      one LawAnswer: holds and fails, the means of the samples' two chances, each
  //             with its relative standard error (population deviation over sqrt(samples)
  //             times the mean, as crude reports its counts; NaN for a mean of 0);
  //   estimate  = holds, relativeError = its RE (the chance, not a count: a weighted count is
  //             this times the weights' constant factor);
  //   complement = fails, complementRelativeError = its RE;
  //   samples   the samples drawn. No cover lengths (the orders are not uniform).
  // When parallelism.stop is due, no block starts any more: the replication is then of the
  // samples of the blocks run (cut short by the time limit), or marked interrupted.
  Replication estimateModelCount(std::int32_t sampleSize);

  // Called now and then during a replication with the number of samples drawn so far (on the
  // calling thread; across ranks, rank 0's share of the work scaled to the whole).
  ProgressCallback onProgress;

  // Samples per block for n variables: ceil(65536 / n), as for crude's block streams.
  static std::int64_t samplesPerBlock(std::int32_t variableCount);

 private:
  // A variable's arrival time in one sample.
  struct Arrival {
    long double time;
    std::int32_t variable;
  };
  // A worker's scratch: the arrivals of one sample, what is still untouched, the stages.
  struct Worker {
    std::vector<Arrival> arrivals;
    std::vector<std::int32_t> stageAt;     // per position in the order: the stage it opens, or -1
    // The walk by positions: each variable's position, each clause's earliest position.
    std::vector<std::int32_t> position;
    std::vector<std::int32_t> first;
    // The walk by masks: each variable's bit in the order, the byte tables that move a clause
    // into the order, and the union of the clauses first touched at each position (64 positions).
    std::vector<std::uint64_t> bitOf;
    std::vector<std::uint64_t> byteTables;
    std::vector<std::uint64_t> touchedAt;
    std::vector<double> leaving;           // per stage: the rates of the variables that leave in it
    std::vector<double> stageRates;        // R_1 .. R_L
    StageTailCalculator tails;
  };
  // One block's statistics of the two sides.
  struct BlockStatistics {
    RunningStatistics holds;
    RunningStatistics fails;
  };
  Worker makeWorker() const;
  StageTails sample(Worker& worker, SplitEngine& engine) const;
  // The walks over the arrivals: each fills worker.leaving with the rates leaving in each
  // stage and returns the number of stages, in two passes over the clauses. By positions: each
  // clause's earliest position, then each variable's latest such. By masks (at most 64
  // variables): each clause a bit mask moved into the order by byte tables.
  std::size_t walkByPositions(Worker& worker) const;
  std::size_t walkByMasks(Worker& worker) const;
  // walkByMasks' pass over the clauses, for masks of `Bytes` bytes: each clause moved into the
  // order by the byte tables and added to the union of its earliest position.
  template <std::size_t Bytes>
  void orderClauses(const std::uint64_t* table, std::uint64_t* touchedAt) const;
  void runBlock(Worker& worker, std::uint32_t replication, std::int64_t block, std::size_t sampleCount);

  const Problem& problem_;
  std::uint32_t seed_;
  std::int32_t threads_;
  SingleProcess alone_;
  RankGroup* ranks_;
  StopRequest* stop_;
  OccurrenceTable occurrences_;               // each variable's clauses
  std::vector<std::uint32_t> clauseBegin_;    // clause c's distinct variables:
  std::vector<std::int32_t> clauseVariables_; //   clauseVariables_[clauseBegin_[c] .. clauseBegin_[c + 1])
  std::vector<std::int32_t> inClauses_;       // the variables of some clause, in index order
  std::vector<double> rates_;                 // r_v
  std::vector<long double> meanTimes_;        // 1 / r_v
  std::vector<std::uint64_t> clauseMasks_;    // at most 64 variables: each clause as a bit mask; else empty
  std::vector<BlockStatistics> blocks_;       // of one replication, by block
  std::uint32_t replication_ = 0;
  WorkerStates<Worker> workers_;
};

}  // namespace monocount
