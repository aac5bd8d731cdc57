#include "problem/cover_index.hpp"

#include <algorithm>

namespace monocount {

CoverIndex::CoverIndex(const Problem& problem) : table_(problem) {
  stamp_.assign(static_cast<std::size_t>(table_.clauseCount), 0);

  // Clause-major copy of the lists, for the clause scan.
  const std::vector<std::int32_t>& sizes = table_.clauseSizes;
  missing_ = sizes;
  clauseBegin_.assign(sizes.size() + 1, 0);
  for (std::size_t c = 0; c < sizes.size(); ++c) {
    clauseBegin_[c + 1] = clauseBegin_[c] + static_cast<std::uint32_t>(sizes[c]);
  }
  variables_.resize(table_.clauses.size());
  std::vector<std::uint32_t> fill(clauseBegin_.begin(), clauseBegin_.end() - 1);
  for (std::int32_t v = 0; v < table_.variableCount; ++v) {
    const auto first = table_.begin[static_cast<std::size_t>(v)];
    const auto last = table_.begin[static_cast<std::size_t>(v) + 1];
    for (std::uint32_t i = first; i < last; ++i) variables_[fill[static_cast<std::size_t>(table_.clauses[i])]++] = v;
  }
  position_.assign(static_cast<std::size_t>(table_.variableCount), 0);
  trivial_ = table_.clauseCount == 0 || std::find(sizes.begin(), sizes.end(), 0) != sizes.end();
}

std::uint32_t CoverIndex::nextEpoch() {
  if (++epoch_ == 0) {  // after 2^32 queries old stamps would match again
    std::fill(stamp_.begin(), stamp_.end(), 0);
    epoch_ = 1;
  }
  return epoch_;
}

std::int32_t CoverIndex::coverPositionOfPermutation(const std::int32_t* order, Scan scan) {
  if (trivial_) return 0;
  switch (scan) {
    case Scan::forward: return forwardScan(order);
    case Scan::backward: return backwardScan(order);
    case Scan::clauses: return clauseScan(order);
  }
  return 0;
}

std::int32_t CoverIndex::coverPositionOfPermutation(const std::int32_t* order) {
  if ((queries_ & 255) == 16) chooseScan();
  const std::int32_t q = coverPositionOfPermutation(order, scan_);
  positionSum_ += static_cast<std::uint64_t>(q);
  ++queries_;
  return q;
}

// Rough costs in nanoseconds on one core: a variable visited by a scan about 8 (mostly the
// mispredicted end of its list), an occurrence about 1.5; the clause scan about 1 per variable
// and per occurrence, without mispredictions. The backward scan visits every variable twice
// (its counts are cleared on the way back).
void CoverIndex::chooseScan() {
  const double n = table_.variableCount;
  const double occurrences = static_cast<double>(table_.clauses.size());
  const double perVariable = 8.0 + 1.5 * occurrences / n;
  const double position = static_cast<double>(positionSum_) / static_cast<double>(queries_);
  const double forward = (position + 1.0) * perVariable;
  const double backward = 2.0 * (n - position) * perVariable;
  const double clauses = n + occurrences;
  scan_ = forward <= backward && forward <= clauses ? Scan::forward
          : backward <= clauses                   ? Scan::backward
                                                  : Scan::clauses;
}

// The touched count falls without a branch per occurrence; it is tested once per variable,
// which returns the same position as a test after every occurrence.
std::int32_t CoverIndex::forwardScan(const std::int32_t* order) {
  const std::uint32_t epoch = nextEpoch();
  std::uint32_t* stamp = stamp_.data();
  const std::int32_t* clauses = table_.clauses.data();
  const std::uint32_t* begin = table_.begin.data();
  std::int32_t untouched = table_.clauseCount;
  for (std::int32_t j = 0; j < table_.variableCount; ++j) {
    const auto v = static_cast<std::uint32_t>(order[j]);
    for (std::uint32_t i = begin[v], end = begin[v + 1]; i < end; ++i) {
      std::uint32_t& s = stamp[clauses[i]];
      untouched -= s != epoch;
      s = epoch;
    }
    if (untouched == 0) return j;
  }
  return 0;
}

// Each clause's count of variables not yet in the suffix falls to 0 exactly when the suffix
// holds all of them; on the way back every count visited is raised again.
std::int32_t CoverIndex::backwardScan(const std::int32_t* order) {
  std::int32_t* missing = missing_.data();
  const std::int32_t* clauses = table_.clauses.data();
  const std::uint32_t* begin = table_.begin.data();
  std::int32_t j = table_.variableCount - 1;
  for (; j > 0; --j) {
    const auto v = static_cast<std::uint32_t>(order[j]);
    bool full = false;
    for (std::uint32_t i = begin[v], end = begin[v + 1]; i < end; ++i) full |= --missing[clauses[i]] == 0;
    if (full) break;
  }
  // Position 0 needs no visit: the whole order holds every clause. Restore what was counted.
  for (std::int32_t k = table_.variableCount - 1; k >= j && k > 0; --k) {
    const auto v = static_cast<std::uint32_t>(order[k]);
    for (std::uint32_t i = begin[v], end = begin[v + 1]; i < end; ++i) ++missing[clauses[i]];
  }
  return j < 0 ? 0 : j;
}

std::int32_t CoverIndex::clauseScan(const std::int32_t* order) {
  std::int32_t* position = position_.data();
  for (std::int32_t j = 0; j < table_.variableCount; ++j) position[order[j]] = j;
  const std::int32_t* variables = variables_.data();
  const std::uint32_t* clauseBegin = clauseBegin_.data();
  std::int32_t q = 0;
  for (std::int32_t c = 0; c < table_.clauseCount; ++c) {
    std::int32_t first = table_.variableCount;
    for (std::uint32_t i = clauseBegin[c], end = clauseBegin[c + 1]; i < end; ++i)
      first = std::min(first, position[variables[i]]);
    q = std::max(q, first);
  }
  return q;
}

}  // namespace monocount
