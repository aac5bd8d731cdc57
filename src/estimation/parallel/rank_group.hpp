#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <span>
#include <string>

namespace monocount {

// The processes that share one run: the ranks of an MPI job, or this process alone. Every rank
// runs the same estimator on the same problem and options and calls these operations in the
// same order; each is collective, returning on a rank once every rank has called it.
class RankGroup {
 public:
  virtual ~RankGroup() = default;

  // This process's rank, 0 .. size() - 1. Rank 0 writes the report.
  virtual int rank() const = 0;
  virtual int size() const = 0;

  // Ends a step every rank takes: `failure` holds this rank's error message if its part of the
  // step failed. When some rank failed, throws on every rank what throwFailure throws for the
  // message of the lowest failing rank; otherwise returns.
  virtual void agree(const std::optional<std::string>& failure) = 0;

  // Replaces `values` on every rank by their element-wise sums over the ranks.
  virtual void sum(std::span<std::uint64_t> values) = 0;

  // `items` holds `count` items of `itemSize` bytes each, and each rank has filled in its own
  // share of them (shareOf(count, rank, size)); afterwards every rank holds all of them.
  virtual void share(void* items, std::size_t itemSize, std::int64_t count) = 0;
};

// The exception a failure agreed on becomes: std::bad_alloc for the message of one (memory ran
// out, on whichever rank), std::runtime_error with the message otherwise.
[[noreturn]] void throwFailure(const std::string& message);

// This process alone: rank 0 of 1, with nothing to exchange.
class SingleProcess final : public RankGroup {
 public:
  int rank() const override { return 0; }
  int size() const override { return 1; }
  void agree(const std::optional<std::string>& failure) override;
  void sum(std::span<std::uint64_t>) override {}
  void share(void*, std::size_t, std::int64_t) override {}
};

// Whether `holds` is true on any rank. Collective.
bool onAnyRank(RankGroup& ranks, bool holds);

// The items first .. end - 1 of a count dealt to ranks.
struct Share {
  std::int64_t first = 0;
  std::int64_t end = 0;
};

// Rank `rank`'s share of `count` items dealt to `size` ranks in contiguous ranges, in rank
// order, the first count % size ranks taking one item more. Empty for count <= 0.
Share shareOf(std::int64_t count, int rank, int size);

// Runs `step` on this rank, then agrees with the other ranks on its outcome: an exception on
// any rank ends the step on every rank (RankGroup::agree). In a group of one, the exception
// itself goes on unchanged.
template <typename Step>
void runTogether(RankGroup& ranks, Step&& step) {
  if (ranks.size() == 1) {
    step();
    return;
  }
  std::optional<std::string> failure;
  try {
    step();
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = "unknown exception";
  }
  ranks.agree(failure);
}

}  // namespace monocount
