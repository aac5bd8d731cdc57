#include "driver/mpi_ranks.hpp"

#include <mpi.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <streambuf>
#include <vector>

#include "driver/experiment.hpp"

namespace monocount {

namespace {

// Accepts and drops everything, and stays good: what the ranks other than 0 write to.
class DiscardBuffer final : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// MPI for the lifetime of the object.
class MpiSession {
 public:
  MpiSession(int& argc, char**& argv) {
    int provided = 0;
    MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
  }
  ~MpiSession() { MPI_Finalize(); }
  MpiSession(const MpiSession&) = delete;
  MpiSession& operator=(const MpiSession&) = delete;
};

// Longest failure message passed between ranks.
constexpr std::size_t kMessageLimit = 1 << 16;

}  // namespace

bool launchedByMpi() {
  for (const char* variable : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_RANK", "PMI_SIZE"}) {
    if (std::getenv(variable) != nullptr) return true;
  }
  return false;
}

MpiRanks::MpiRanks() {
  MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
  MPI_Comm_size(MPI_COMM_WORLD, &size_);
}

void MpiRanks::agree(const std::optional<std::string>& failure) {
  const int mine = failure ? rank_ : size_;
  int lowest = size_;
  MPI_Allreduce(&mine, &lowest, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  if (lowest == size_) return;
  std::string message = rank_ == lowest ? failure->substr(0, kMessageLimit) : std::string();
  int length = static_cast<int>(message.size());
  MPI_Bcast(&length, 1, MPI_INT, lowest, MPI_COMM_WORLD);
  message.resize(static_cast<std::size_t>(length));
  MPI_Bcast(message.data(), length, MPI_CHAR, lowest, MPI_COMM_WORLD);
  throwFailure(message);
}

void MpiRanks::sum(std::span<std::uint64_t> values) {
  constexpr std::size_t kChunk = std::size_t{1} << 30;
  for (std::size_t first = 0; first < values.size(); first += kChunk) {
    const std::size_t count = std::min(kChunk, values.size() - first);
    MPI_Allreduce(MPI_IN_PLACE, values.data() + first, static_cast<int>(count), MPI_UINT64_T, MPI_SUM,
                  MPI_COMM_WORLD);
  }
}

void MpiRanks::share(void* items, std::size_t itemSize, std::int64_t count) {
  if (count <= 0) return;
  if (count > std::numeric_limits<int>::max() || itemSize > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw std::length_error("MpiRanks::share: too many items or too large ones");
  }
  MPI_Datatype item;
  MPI_Type_contiguous(static_cast<int>(itemSize), MPI_BYTE, &item);
  MPI_Type_commit(&item);
  std::vector<int> counts(static_cast<std::size_t>(size_));
  std::vector<int> offsets(static_cast<std::size_t>(size_));
  for (int rank = 0; rank < size_; ++rank) {
    const Share part = shareOf(count, rank, size_);
    counts[static_cast<std::size_t>(rank)] = static_cast<int>(part.end - part.first);
    offsets[static_cast<std::size_t>(rank)] = static_cast<int>(part.first);
  }
  MPI_Allgatherv(MPI_IN_PLACE, 0, MPI_DATATYPE_NULL, items, counts.data(), offsets.data(), item, MPI_COMM_WORLD);
  MPI_Type_free(&item);
}

int runOnRanks(int argc, char* argv[]) {
  MpiSession session(argc, argv);
  MpiRanks ranks;
  if (ranks.rank() == 0) return runExperiment(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) != 0, &ranks);
  DiscardBuffer discard;
  std::ostream quiet(&discard);
  return runExperiment(argc, argv, quiet, quiet, false, &ranks);
}

}  // namespace monocount
