#include "driver/mcc_report.hpp"

#include <boost/multiprecision/gmp.hpp>
#include <cmath>
#include <cstdio>
#include <ostream>

namespace monocount {

namespace {

// A path on one comment line: line breaks in it would start lines of their own.
std::string oneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = '?';
  }
  return text;
}

std::string relativeErrorText(const PooledValue& value) {
  return value.relativeError ? toString(WideReal(*value.relativeError)) : "n/a";
}

}  // namespace

std::string decimalInteger(const WideReal& value) {
  using boost::multiprecision::mpz_int;
  if (!value.isFinite() || value.isNegative() || value.isZero()) return "0";
  // The 64 mantissa bits as an integer, then shifted by exponent - 64, rounding off the bits
  // shifted out.
  const auto bits = static_cast<unsigned long long>(std::ldexp(value.mantissa(), 64));
  mpz_int integer(bits);
  const std::int64_t shift = value.exponent() - 64;
  if (shift >= 0) {
    integer <<= static_cast<unsigned long long>(shift);
  } else if (-shift > 65) {
    return "0";
  } else {
    const auto drop = static_cast<unsigned>(-shift);
    integer += mpz_int(1) << (drop - 1);
    integer >>= drop;
  }
  return integer.str();
}

void MccWriter::start(const RunDescription& description) {
  const CommandLine& options = description.options;
  out_ << "c o monocount " << MONOCOUNT_VERSION << '\n';
  out_ << "c o problem " << oneLine(options.problemPath) << ", variables " << description.variables << ", clauses "
       << description.clauses << ", literals " << description.literals << '\n';
  type_ = description.type;
  out_ << "c o method " << methodEntry(description.method).name << ", seed " << description.seed
       << (description.seeded ? "" : " (from the clock)") << ", N " << options.sampleSize << ", R "
       << options.replications << std::endl;
}

void MccWriter::row(const ReplicationRow& row) {
  out_ << "c o replication " << row.number;
  if (row.truncated) out_ << " (truncated by the time limit after " << row.samples << " samples, not pooled)";
  out_ << ": estimate " << row.estimate << ", RE ";
  if (row.hasSpread()) {
    out_ << row.relativeError;
  } else {
    out_ << "n/a";
  }
  out_ << ", CPU " << row.cpuSeconds << " s, wall " << row.wallSeconds << " s" << std::endl;
}

void MccWriter::finish(const RunSummary& summary) {
  const PooledRun& pooled = summary.pooled;
  if (summary.split) {
    out_ << "c o split: " << summary.split->settings.particles << " particles and "
         << summary.split->settings.walkSteps << " walk steps per size, smallest satisfying set reached "
         << summary.split->smallestSize << '\n';
  }
  const PooledValue& count = pooled.count;
  out_ << "c o pooled estimate " << count.mean << " of " << pooled.replications << " replications";
  if (count.standardError) out_ << ", standard error " << *count.standardError;
  out_ << ", RE " << relativeErrorText(count);
  if (count.low && count.high) out_ << ", 95 % interval [" << *count.low << ", " << *count.high << "]";
  out_ << '\n';
  if (count.mean.isFinite()) {
    out_ << "c o pooled complement " << pooled.complement.mean << ", RE " << relativeErrorText(pooled.complement) << '\n';
  }
  for (const SizeCount& size : pooled.spectrum) {
    out_ << "c o size " << size.size << ": ";
    if (size.reached) {
      out_ << "N " << size.count.mean << ", RE " << relativeErrorText(size.count);
    } else {
      out_ << "N not reached";
    }
    if (size.failingReached) {
      out_ << "; failing " << size.failing.mean << ", RE " << relativeErrorText(size.failing) << '\n';
    } else {
      out_ << "; failing not reached\n";
    }
  }
  for (const ProbabilityEstimate& estimate : pooled.probabilities) {
    out_ << "c o probability at p = " << estimate.law.uniformTruth() << ": " << estimate.probability.mean << ", RE "
         << relativeErrorText(estimate.probability) << "; failure " << estimate.failure.mean << ", RE "
         << relativeErrorText(estimate.failure) << '\n';
  }
  if (summary.end != RunEnd::completed) {
    out_ << "c o ended early: " << runEndName(summary.end);
    if (summary.signal != nullptr) out_ << " (" << summary.signal << ")";
    out_ << '\n';
  }
  for (const std::string& warning : summary.warnings) out_ << "c o warning: " << warning << '\n';

  if (!count.mean.isFinite()) {
    out_ << "s UNKNOWN" << std::endl;
    return;
  }
  out_ << (count.mean.isZero() ? "s UNSATISFIABLE" : "s SATISFIABLE") << '\n';
  out_ << "c s type " << countTypeName(type_) << '\n';
  if (count.mean.isZero()) {
    out_ << "c s log10-estimate -inf\n";
  } else {
    char log10[64];
    std::snprintf(log10, sizeof log10, "%.10Lf", count.mean.log10Abs());
    out_ << "c s log10-estimate " << log10 << '\n';
  }
  if (isWeightedType(type_)) {
    out_ << std::flush;  // a weighted count is no integer: its log10 is the answer
  } else if (pooled.exact) {
    out_ << "c s exact arb int " << pooled.exactCount << std::endl;
  } else {
    out_ << "c s approx arb int " << decimalInteger(count.mean) << std::endl;
  }
}

}  // namespace monocount
