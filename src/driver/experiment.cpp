#include "driver/experiment.hpp"

#include <boost/program_options.hpp>
#include <cstdint>
#include <ctime>
#include <exception>
#include <optional>
#include <ostream>
#include <vector>

#include "driver/options.hpp"
#include "driver/progress.hpp"
#include "estimation/mean.hpp"
#include "estimation/permutation_estimator.hpp"
#include "estimation/random_source.hpp"
#include "estimation/splitting_estimator.hpp"
#include "estimation/wide_real.hpp"
#include "problem/problem.hpp"

namespace monocount {

namespace po = boost::program_options;

namespace {

constexpr const char* kRule = "-----------------------------------------";

// CPU seconds between two readings of the processor clock: the tick difference taken in 64
// bits (a 32-bit one wraps after 36 minutes), then converted and divided in single precision.
double cpuSeconds(std::clock_t start, std::clock_t stop) {
  const std::int64_t ticks = static_cast<std::int64_t>(stop) - static_cast<std::int64_t>(start);
  const float seconds = static_cast<float>(ticks) / static_cast<float>(CLOCKS_PER_SEC);
  return static_cast<double>(seconds);
}

// Runs the replications and writes the report; exceptions go to the caller.
void runReplications(const CommandLine& commandLine, bool seeded, std::ostream& out, std::ostream& err,
                     bool errIsTerminal) {
  const std::uint32_t seed =
      seeded ? commandLine.seed.value : static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::time(nullptr)));
  RandomSource source(seed);
  Problem problem;
  problem.load(commandLine.problemPath);

  ProgressLine progress(err, errIsTerminal, commandLine.replications, commandLine.sampleSize);
  std::int32_t finished = 0;
  const auto report = [&](std::int64_t samples) { progress.update(finished, samples); };
  std::optional<PermutationEstimator> crude;
  std::optional<SplittingEstimator> split;
  if (commandLine.method.value == Method::split) {
    split.emplace(problem, seed);
    split->onProgress = report;
  } else {
    crude.emplace(problem, source);
    crude->onProgress = report;
  }

  out << std::endl;
  out << "#replication | estimator | RE | CPU" << std::endl;
  out << kRule << std::endl;
  std::vector<WideReal> estimates;
  std::vector<double> relativeErrors;
  std::vector<double> cpuTimes;
  while (finished < commandLine.replications) {
    double relativeError = 0.0;
    const std::clock_t start = std::clock();
    const WideReal estimate = crude ? crude->estimateModelCount(commandLine.sampleSize, relativeError)
                                    : split->estimateModelCount(commandLine.sampleSize, relativeError);
    relativeErrors.push_back(relativeError);
    const std::clock_t stop = std::clock();
    const double cpu = cpuSeconds(start, stop);
    ++finished;
    progress.finish();
    out << finished << " " << estimate << " " << relativeError << " " << cpu << std::endl;
    cpuTimes.push_back(cpu);
    estimates.push_back(estimate);
  }
  progress.finish();
  out << kRule << std::endl;
  out << "Average: " << mean(estimates) << " " << mean(relativeErrors) << " " << mean(cpuTimes) << std::endl;
}

}  // namespace

int runExperiment(int argc, const char* const argv[], std::ostream& out, std::ostream& err, bool errIsTerminal) {
  po::options_description description("Options");
  CommandLine commandLine;
  declareOptions(description, commandLine);
  po::variables_map variables;
  try {
    po::store(po::parse_command_line(argc, argv, description), variables);
    if (variables.count("help") != 0) {
      out << "Basic Command Line Parameter App" << std::endl;
      out << description << std::endl;
      return 0;
    }
    if (variables.count("problem") == 0) {
      out << "No problem specified" << std::endl;
      return 1;
    }
    if (variables.count("N") == 0) {
      out << "No sample size specified" << std::endl;
      return 1;
    }
    if (variables.count("R") == 0) {
      out << "No replication number specified" << std::endl;
      return 1;
    }
    po::notify(variables);
  } catch (const po::error& error) {
    err << "ERROR: " << error.what() << std::endl << std::endl;
    err << description << std::endl;
    return -1;
  }

  try {
    runReplications(commandLine, variables.count("seed") != 0, out, err, errIsTerminal);
  } catch (const std::exception& error) {
    out << "Unhandled Exception reached the top of main: " << error.what() << ", application will now exit"
        << std::endl;
    return 2;
  }
  return 0;
}

}  // namespace monocount
