#include "driver/csv_report.hpp"

#include <cmath>
#include <ostream>

namespace monocount {

namespace {

std::string field(const WideReal& value) { return value.isNaN() ? "" : exactText(value); }
std::string field(double value) { return std::isnan(value) ? "" : exactText(value); }
std::string field(const std::optional<double>& value) { return value ? field(*value) : ""; }

// "<value>,<log10>,<RE>" of a pooled value.
std::string pooledFields(const PooledValue& value) {
  return field(value.mean) + "," + field(log10Of(value.mean)) + "," + field(value.relativeError);
}

}  // namespace

void CsvWriter::start(const RunDescription&) {
  out_ << "replication,estimate,log10,RE,CPU,wall,samples,truncated\n" << std::flush;
}

void CsvWriter::row(const ReplicationRow& row) {
  out_ << row.number << ',' << field(row.estimate) << ',' << field(log10Of(row.estimate)) << ','
       << (row.hasSpread() ? field(row.relativeError) : "") << ','
       << (std::isnan(row.cpuSeconds) ? "" : floatText(row.cpuSeconds)) << ',' << field(row.wallSeconds) << ','
       << row.samples << ',' << (row.truncated ? "true" : "false") << '\n'
       << std::flush;
}

void CsvWriter::finish(const RunSummary& summary) {
  const PooledRun& pooled = summary.pooled;
  out_ << "\nanswer,estimate,log10,RE\n";
  out_ << "count," << pooledFields(pooled.count) << '\n';
  out_ << "complement," << pooledFields(pooled.complement) << '\n';
  if (!pooled.spectrum.empty()) {
    out_ << "\nsize,count,log10,RE,failing,failingLog10,failingRE\n";
    for (const SizeCount& size : pooled.spectrum) {
      out_ << size.size << ',' << (size.reached ? pooledFields(size.count) : ",,") << ','
           << (size.failingReached ? pooledFields(size.failing) : ",,") << '\n';
    }
  }
  if (!pooled.probabilities.empty()) {
    out_ << "\np,probability,log10,RE,failure,failureLog10,failureRE\n";
    for (const ProbabilityEstimate& estimate : pooled.probabilities) {
      out_ << exactText(estimate.law.uniformTruth()) << ',' << pooledFields(estimate.probability) << ','
           << pooledFields(estimate.failure) << '\n';
    }
  }
  if (summary.end != RunEnd::completed) {
    out_ << "\nend,signal\n" << runEndName(summary.end) << ',' << (summary.signal != nullptr ? summary.signal : "") << '\n';
  }
  out_ << std::flush;
}

}  // namespace monocount
