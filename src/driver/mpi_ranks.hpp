#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "estimation/parallel/rank_group.hpp"

namespace monocount {

// True when an MPI launcher (mpirun, mpiexec, or a scheduler's PMI/PMIx launch) started this
// process, as its environment tells: then the ranks run together. Started any other way, the
// MPI build runs as a single process and never initializes MPI.
bool launchedByMpi();

// The ranks of MPI_COMM_WORLD. MPI must be initialized for as long as the object is used;
// every operation is collective over the world.
class MpiRanks final : public RankGroup {
 public:
  MpiRanks();
  int rank() const override { return rank_; }
  int size() const override { return size_; }
  void agree(const std::optional<std::string>& failure) override;
  void sum(std::span<std::uint64_t> values) override;
  void share(void* items, std::size_t itemSize, std::int64_t count) override;

 private:
  int rank_ = 0;
  int size_ = 1;
};

// The whole program on the ranks of an MPI job: initializes MPI (only the calling thread ever
// calls it), runs runExperiment on every rank with the real streams on rank 0 alone (the other
// ranks write nothing, progress included), finalizes MPI and returns the exit status, the same
// on every rank.
int runOnRanks(int argc, char* argv[]);

}  // namespace monocount
