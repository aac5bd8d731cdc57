#include "problem/cover_index.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace monocount {

CoverIndex::CoverIndex(const Problem& problem)
    : variableCount_(problem.variableCount), clauseCount_(problem.clauseCount) {
  if (variableCount_ < 0 || clauseCount_ < 0 ||
      problem.occurrences.size() != static_cast<std::size_t>(variableCount_))
    throw std::invalid_argument("CoverIndex: the problem holds no loaded formula");
  begin_.reserve(static_cast<std::size_t>(variableCount_) + 1);
  begin_.push_back(0);
  for (const auto& list : problem.occurrences) {
    for (const std::int32_t c : list) {
      if (c < 0 || c >= clauseCount_)
        throw std::invalid_argument("CoverIndex: clause index " + std::to_string(c) +
                                    " outside the declared clause count");
      // A repeat of the list's previous index can neither touch a new clause nor complete
      // the cover, so it is dropped.
      if (clauses_.size() == begin_.back() || clauses_.back() != c) clauses_.push_back(c);
    }
    if (clauses_.size() > std::numeric_limits<std::uint32_t>::max())
      throw std::length_error("CoverIndex: more than 2^32 occurrences");
    begin_.push_back(static_cast<std::uint32_t>(clauses_.size()));
  }
  stamp_.assign(static_cast<std::size_t>(clauseCount_), 0);

  // Clause-major copy of the lists, for the backward and the clause scans.
  width_.assign(static_cast<std::size_t>(clauseCount_), 0);
  for (const std::int32_t c : clauses_) ++width_[static_cast<std::size_t>(c)];
  count_.assign(static_cast<std::size_t>(clauseCount_), 0);
  clauseBegin_.assign(static_cast<std::size_t>(clauseCount_) + 1, 0);
  for (std::size_t c = 0; c < width_.size(); ++c) clauseBegin_[c + 1] = clauseBegin_[c] + width_[c];
  variables_.resize(clauses_.size());
  std::vector<std::uint32_t> fill(clauseBegin_.begin(), clauseBegin_.end() - 1);
  for (std::int32_t v = 0; v < variableCount_; ++v)
    for (std::uint32_t i = begin_[static_cast<std::size_t>(v)]; i < begin_[static_cast<std::size_t>(v) + 1]; ++i)
      variables_[fill[static_cast<std::size_t>(clauses_[i])]++] = v;
  position_.assign(static_cast<std::size_t>(variableCount_), 0);
  trivial_ = clauseCount_ == 0 || std::find(width_.begin(), width_.end(), 0u) != width_.end();
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
  const double n = variableCount_;
  const double occurrences = static_cast<double>(clauses_.size());
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
  const std::int32_t* clauses = clauses_.data();
  const std::uint32_t* begin = begin_.data();
  std::int32_t untouched = clauseCount_;
  for (std::int32_t j = 0; j < variableCount_; ++j) {
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

std::int32_t CoverIndex::backwardScan(const std::int32_t* order) {
  std::uint32_t* count = count_.data();
  const std::uint32_t* width = width_.data();
  const std::int32_t* clauses = clauses_.data();
  const std::uint32_t* begin = begin_.data();
  std::int32_t j = variableCount_ - 1;
  for (; j > 0; --j) {
    const auto v = static_cast<std::uint32_t>(order[j]);
    bool full = false;
    for (std::uint32_t i = begin[v], end = begin[v + 1]; i < end; ++i) {
      const auto c = static_cast<std::uint32_t>(clauses[i]);
      full |= ++count[c] == width[c];
    }
    if (full) break;
  }
  // Position 0 needs no visit: the whole order holds every clause. Clear what was counted.
  for (std::int32_t k = variableCount_ - 1; k >= j && k > 0; --k) {
    const auto v = static_cast<std::uint32_t>(order[k]);
    for (std::uint32_t i = begin[v], end = begin[v + 1]; i < end; ++i) count[clauses[i]] = 0;
  }
  return j < 0 ? 0 : j;
}

std::int32_t CoverIndex::clauseScan(const std::int32_t* order) {
  std::int32_t* position = position_.data();
  for (std::int32_t j = 0; j < variableCount_; ++j) position[order[j]] = j;
  const std::int32_t* variables = variables_.data();
  const std::uint32_t* clauseBegin = clauseBegin_.data();
  std::int32_t q = 0;
  for (std::int32_t c = 0; c < clauseCount_; ++c) {
    std::int32_t first = variableCount_;
    for (std::uint32_t i = clauseBegin[c], end = clauseBegin[c + 1]; i < end; ++i)
      first = std::min(first, position[variables[i]]);
    q = std::max(q, first);
  }
  return q;
}

std::int32_t CoverIndex::coverPosition(const std::int32_t* order) {
  if (++epoch_ == 0) {  // after 2^32 queries old stamps would match again
    std::fill(stamp_.begin(), stamp_.end(), 0);
    epoch_ = 1;
  }
  // The reference compares the touched count with clauseCount after every element; that
  // test first holds when the last untouched clause is touched, and never when the count
  // is 0, since then every list is empty.
  std::int32_t untouched = clauseCount_;
  for (std::int32_t j = 0; j < variableCount_; ++j) {
    const auto v = static_cast<std::uint32_t>(order[j]);
    if (v >= static_cast<std::uint32_t>(variableCount_))
      throw std::out_of_range("CoverIndex::coverPosition: order entry " +
                              std::to_string(order[j]) + " is no variable index");
    for (std::uint32_t i = begin_[v], end = begin_[v + 1]; i < end; ++i) {
      std::uint32_t& stamp = stamp_[static_cast<std::size_t>(clauses_[i])];
      if (stamp != epoch_) {
        stamp = epoch_;
        if (--untouched == 0) return j;
      }
    }
  }
  return 0;
}

}  // namespace monocount
