#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "estimation/parallel/rank_group.hpp"
#include "estimation/parallel/stop_request.hpp"
#include "estimation/replication.hpp"

namespace monocount {

// How a run's work is spread: worker threads in each process, and the processes; and what may
// end it early.
struct Parallelism {
  std::int32_t threads = 1;    // worker threads per process, >= 1
  RankGroup* ranks = nullptr;  // the processes sharing the run; null: this process alone
  StopRequest* stop = nullptr; // a time limit or an interruption; null: never
};

// Runs blocks first .. end - 1 on `workers` threads: the calling thread is worker 0, and
// min(workers, end - first) - 1 more threads are started for the call and joined before it
// returns (fewer if the system refuses to start more: the results cannot tell). Each worker takes the lowest block nobody has taken yet, runs run(worker, block)
// and goes on until no block is left, so which worker runs which block varies from call to
// call: whatever a block computes must depend on the block alone, and its results are combined
// by the caller in block order (or by an exact operation, such as adding counts).
//
// After each of its blocks, worker 0 calls progress(blocks finished so far), if set.
// With `stop`, a worker takes no new block once stop->due(); the blocks taken are finished, so
// the blocks run are first .. the returned end - 1. An exception on a worker stops every
// worker after its current block; the exception of the lowest failing worker is rethrown once
// all have stopped. The workers share nothing but one atomic counter of taken blocks and one
// of finished blocks, each touched once per block. Returns the end of the blocks run (`end`
// unless stopped).
std::int64_t runBlocks(std::int64_t first, std::int64_t end, std::int32_t workers,
                       const std::function<void(std::int32_t worker, std::int64_t block)>& run,
                       const std::function<void(std::int64_t finished)>& progress = {}, StopRequest* stop = nullptr);

// Progress of a replication whose `total` samples (or roots) are dealt to this rank in
// `blocks` blocks, for runBlocks: called with the blocks finished, it hands `callback` (if set)
// the same share of the total, only ever growing; finish() hands it the total. Worker 0 may
// also say, from inside a long block, how much of that block it has done (within()).
class BlockProgress {
 public:
  BlockProgress(const ProgressCallback& callback, std::int64_t blocks, std::int64_t total)
      : callback_(callback), blocks_(static_cast<double>(blocks)), total_(static_cast<double>(total)) {}
  void operator()(std::int64_t finished) {
    finished_ = static_cast<double>(finished);
    report(finished_ / blocks_ * total_);
  }
  // Worker 0 has done `part` (0 to 1) of the block it is running.
  void within(double part) { report((finished_ + part) / blocks_ * total_); }
  void finish() { report(total_); }

 private:
  void report(double done) {
    if (!callback_ || done <= reported_) return;
    reported_ = done;
    callback_(done);
  }
  const ProgressCallback& callback_;
  double blocks_;
  double total_;
  double finished_ = 0.0;
  double reported_ = 0.0;
};

// The blocks of a replication of `samples` samples (at least 1), `perBlock` to a block.
std::int64_t blocksFor(std::int64_t samples, std::int64_t perBlock);

// Runs this rank's share (shareOf) of a replication's `blocks` blocks of `samples` samples in
// all on `threads` workers (runBlocks, obeying `stop`), telling `callback` how far it has come
// (BlockProgress) and, at the end, that it is done.
void runShare(const RankGroup& ranks, std::int64_t blocks, std::int64_t samples, std::int32_t threads,
              const ProgressCallback& callback, StopRequest* stop,
              const std::function<void(std::int32_t worker, std::int64_t block)>& run);

// The number of cores this process may run on (its CPU affinity mask), at least 1.
std::int32_t usableCores();

// One state per worker, built on first use by the worker itself (on its own thread, so its
// memory comes from that thread's allocator arena and is placed near the core that uses it; no
// two workers' states share a cache line) and kept for later calls. Worker w's state is only
// ever touched by the thread running as worker w.
template <typename State>
class WorkerStates {
 public:
  explicit WorkerStates(std::int32_t workers) : states_(static_cast<std::size_t>(workers < 1 ? 1 : workers)) {}

  std::int32_t workers() const { return static_cast<std::int32_t>(states_.size()); }

  // Worker w's state, built with make() if it has none yet.
  template <typename Make>
  State& get(std::int32_t worker, Make&& make) {
    std::unique_ptr<State>& state = states_[static_cast<std::size_t>(worker)];
    if (!state) state = std::make_unique<State>(make());
    return *state;
  }

  // Calls visit(state) for every state built so far, in worker order.
  template <typename Visit>
  void forEach(Visit&& visit) {
    for (std::unique_ptr<State>& state : states_) {
      if (state) visit(*state);
    }
  }

 private:
  std::vector<std::unique_ptr<State>> states_;
};

}  // namespace monocount
