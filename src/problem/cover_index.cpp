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
