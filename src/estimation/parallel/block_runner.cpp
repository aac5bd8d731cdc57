#include "estimation/parallel/block_runner.hpp"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>
#include <thread>

namespace monocount {

std::int64_t runBlocks(std::int64_t first, std::int64_t end, std::int32_t workers,
                       const std::function<void(std::int32_t worker, std::int64_t block)>& run,
                       const std::function<void(std::int64_t finished)>& progress, StopRequest* stop) {
  if (end <= first) return end;
  const auto threads =
      static_cast<std::int32_t>(std::clamp<std::int64_t>(end - first, 1, std::max<std::int32_t>(workers, 1)));
  std::atomic<std::int64_t> next{first};
  std::atomic<std::int64_t> finished{0};
  std::atomic<bool> failed{false};
  std::atomic<bool> stopped{false};  // some worker stopped on the request
  std::vector<std::exception_ptr> failures(static_cast<std::size_t>(threads));

  const auto work = [&](std::int32_t worker) {
    try {
      while (!failed.load(std::memory_order_relaxed)) {
        // Asked before a block is taken, so the blocks taken form a prefix and all are run.
        if (stop != nullptr && stop->due()) {
          stopped.store(true, std::memory_order_relaxed);
          break;
        }
        const std::int64_t block = next.fetch_add(1, std::memory_order_relaxed);
        if (block >= end) break;
        run(worker, block);
        const std::int64_t done = finished.fetch_add(1, std::memory_order_relaxed) + 1;
        if (worker == 0 && progress) progress(done);
      }
    } catch (...) {
      failures[static_cast<std::size_t>(worker)] = std::current_exception();
      failed.store(true, std::memory_order_relaxed);
    }
  };

  {
    std::vector<std::jthread> helpers;
    helpers.reserve(static_cast<std::size_t>(threads - 1));
    try {
      for (std::int32_t worker = 1; worker < threads; ++worker) helpers.emplace_back(work, worker);
    } catch (const std::system_error&) {
      // No more threads to be had (a process or address-space limit): the blocks do not care
      // how many workers run them, so the ones started go on alone.
    }
    work(0);
  }  // joins the helpers
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
  return stopped.load() ? std::min(next.load(), end) : end;
}

std::int32_t usableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return count;
  }
  return static_cast<std::int32_t>(std::max(1u, std::thread::hardware_concurrency()));
}

std::int64_t blocksFor(std::int64_t samples, std::int64_t perBlock) {
  return (std::max<std::int64_t>(samples, 1) + perBlock - 1) / perBlock;
}

void runShare(const RankGroup& ranks, std::int64_t blocks, std::int64_t samples, std::int32_t threads,
              const ProgressCallback& callback, StopRequest* stop,
              const std::function<void(std::int32_t worker, std::int64_t block)>& run) {
  const Share share = shareOf(blocks, ranks.rank(), ranks.size());
  BlockProgress progress(callback, share.end - share.first, samples);
  runBlocks(share.first, share.end, threads, run, std::ref(progress), stop);
  progress.finish();
}

}  // namespace monocount
