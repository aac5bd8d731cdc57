#include "driver/report.hpp"

#include <ostream>

namespace monocount {

namespace {
constexpr const char* kRule = "-----------------------------------------";
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

void Report::header() {
  out_ << std::endl;
  out_ << "#replication | estimator | RE | CPU" << std::endl;
  out_ << kRule << std::endl;
}

void Report::row(const Replication& replication, double cpuSeconds) {
  ++rows_;
  out_ << rows_ << " " << replication.estimate << " " << replication.relativeError << " " << cpuSeconds << std::endl;
  estimates_.add(replication.estimate);
  relativeErrors_.add(replication.relativeError);
  cpuTimes_.add(cpuSeconds);
}

int Report::averages() {
  out_ << kRule << std::endl;
  out_ << "Average: " << estimates_.value() << " " << relativeErrors_.value() << " " << cpuTimes_.value() << std::endl;
  return kCompleted;
}

double Report::cpuSeconds(std::clock_t start, std::clock_t stop) {
  const std::int64_t ticks = static_cast<std::int64_t>(stop) - static_cast<std::int64_t>(start);
  const float seconds = static_cast<float>(ticks) / static_cast<float>(CLOCKS_PER_SEC);
  return static_cast<double>(seconds);
}

}  // namespace monocount
