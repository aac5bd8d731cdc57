#include "driver/report.hpp"

#include <ostream>
#include <sstream>

namespace monocount {

namespace {

constexpr const char* kRule = "-----------------------------------------";

// A probability as the stream writes it, unless six digits would round it to 1: then as 1 minus
// its complement ("1-2e-18"), so that no probability below 1 is ever written as 1.
std::string probabilityText(const WideReal& value, const WideReal& complement) {
  std::ostringstream text;
  text << value;
  if (text.str() == "1" && value < WideReal(1.0) && complement > WideReal(0.0)) {
    std::ostringstream rest;
    rest << "1-" << complement;
    return rest.str();
  }
  return text.str();
}

}  // namespace

int Report::help(const boost::program_options::options_description& description) {
  out_ << "Basic Command Line Parameter App" << std::endl;
  out_ << description << std::endl;
  return kCompleted;
}

int Report::version() {
  out_ << "monocount " << MONOCOUNT_VERSION << std::endl;
  return kCompleted;
}

int Report::missingOption(Missing option) {
  switch (option) {
    case Missing::problem: out_ << "No problem specified" << std::endl; break;
    case Missing::sampleSize: out_ << "No sample size specified" << std::endl; break;
    case Missing::replications: out_ << "No replication number specified" << std::endl; break;
  }
  return kMissingOption;
}

int Report::commandLineRefused(const boost::program_options::error& error,
                               const boost::program_options::options_description& description) {
  err_ << "ERROR: " << error.what() << std::endl << std::endl;
  err_ << description << std::endl;
  return kCommandLineRefused;
}

int Report::experimentFailed(const std::exception& error) {
  out_ << "Unhandled Exception reached the top of main: " << error.what() << ", application will now exit"
       << std::endl;
  return kExperimentFailed;
}

int Report::checkedOutput(int status) {
  out_.flush();
  if (out_) return status;
  err_ << "monocount: cannot write to standard output: the output is incomplete" << std::endl;
  return status == kCompleted ? kExperimentFailed : status;
}

void TableWriter::start(const RunDescription& description) {
  weighted_ = isWeightedType(description.type);
  out_ << std::endl;
  out_ << "#replication | estimator | RE | CPU" << std::endl;
  out_ << kRule << std::endl;
}

void TableWriter::row(const ReplicationRow& row) {
  if (row.truncated) return;  // the classic rows are whole replications; standard error says why one is missing
  out_ << row.number << " " << row.estimate << " " << row.relativeError << " " << row.cpuSeconds << std::endl;
}

void TableWriter::finish(const RunSummary& summary) {
  const PooledRun& pooled = summary.pooled;
  out_ << kRule << std::endl;
  out_ << "Average: " << pooled.count.mean << " " << summary.meanRelativeError << " " << summary.meanCpuSeconds
       << std::endl;
  const auto relativeError = [](const PooledValue& value) {
    std::ostringstream text;
    if (value.relativeError) {
      text << *value.relativeError;
    } else {
      text << "n/a";
    }
    return text.str();
  };
  // "<value> <RE>" of one side, or "not reached".
  const auto side = [&](bool reached, const PooledValue& value) {
    std::ostringstream text;
    if (reached) {
      text << value.mean << " " << relativeError(value);
    } else {
      text << "not reached";
    }
    return text.str();
  };
  if (weighted_) {
    // A weighted count and the weight of the assignments that falsify the formula, each with its
    // own error: "fails" keeps its digits where "holds" rounds to the whole.
    out_ << std::endl << "#weighted | estimate | RE" << std::endl << kRule << std::endl;
    out_ << "holds " << probabilityText(pooled.count.mean, pooled.complement.mean) << " "
         << relativeError(pooled.count) << std::endl;
    out_ << "fails " << probabilityText(pooled.complement.mean, pooled.count.mean) << " "
         << relativeError(pooled.complement) << std::endl;
  }
  if (!pooled.spectrum.empty()) {
    out_ << std::endl << "#size | N(size) | RE | failing | RE" << std::endl << kRule << std::endl;
    for (const SizeCount& size : pooled.spectrum) {
      out_ << size.size << " " << side(size.reached, size.count) << " " << side(size.failingReached, size.failing)
           << std::endl;
    }
  }
  if (!pooled.probabilities.empty()) {
    out_ << std::endl << "#p | probability | RE | failure | RE" << std::endl << kRule << std::endl;
    for (const ProbabilityEstimate& estimate : pooled.probabilities) {
      out_ << estimate.law.uniformTruth() << " " << probabilityText(estimate.probability.mean, estimate.failure.mean)
           << " " << relativeError(estimate.probability) << " "
           << probabilityText(estimate.failure.mean, estimate.probability.mean) << " " << relativeError(estimate.failure)
           << std::endl;
    }
  }
}

double Report::cpuSeconds(std::clock_t start, std::clock_t stop) {
  const std::int64_t ticks = static_cast<std::int64_t>(stop) - static_cast<std::int64_t>(start);
  const float seconds = static_cast<float>(ticks) / static_cast<float>(CLOCKS_PER_SEC);
  return static_cast<double>(seconds);
}

}  // namespace monocount
