#include "driver/experiment.hpp"

#include <boost/program_options.hpp>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <exception>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

#include "driver/machine_memory.hpp"
#include "driver/options.hpp"
#include "driver/progress.hpp"
#include "driver/report.hpp"
#include "estimation/estimator.hpp"
#include "problem/dimacs.hpp"
#include "problem/problem.hpp"

namespace monocount {

namespace po = boost::program_options;

namespace {

// Runs and times the replications and writes the table.
void runEstimator(const Problem& problem, const EstimatorSettings& settings, const CommandLine& commandLine,
                  Report& report, std::ostream& err, bool errIsTerminal) {
  Estimator estimator(problem, settings);
  ProgressLine progress(err, errIsTerminal, commandLine.replications, commandLine.sampleSize);
  std::int32_t finished = 0;
  estimator.onProgress([&](std::int64_t samples) { progress.update(finished, samples); });

  report.header();
  while (finished < commandLine.replications) {
    const std::clock_t start = std::clock();
    const Replication replication = estimator.estimateModelCount(commandLine.sampleSize);
    const std::clock_t stop = std::clock();
    ++finished;
    progress.finish();
    report.row(replication, Report::cpuSeconds(start, stop));
  }
  progress.finish();
  report.averages();
}

std::string notEnoughMemory(const Problem& problem, std::int32_t sampleSize) {
  return "not enough memory for N = " + std::to_string(sampleSize) + " samples of " +
         std::to_string(problem.variableCount) + " variables";
}

std::string inBytes(std::uint64_t bytes) {
  char text[32];
  const double mebibytes = static_cast<double>(bytes) / (1024.0 * 1024.0);
  if (mebibytes < 1024.0) std::snprintf(text, sizeof text, "%.0f MiB", mebibytes);
  else std::snprintf(text, sizeof text, "%.1f GiB", mebibytes / 1024.0);
  return text;
}

// Refuses, before anything is built, a run whose estimator needs more memory than is available.
void checkMemory(const Problem& problem, const EstimatorSettings& settings, std::int32_t sampleSize) {
  const MemoryNeed need = Estimator::memoryNeeded(problem, settings, sampleSize);
  const std::optional<std::uint64_t> available = availableMemory();
  const std::uint64_t total = need.tables + need.samples;
  if (!available || total <= *available) return;
  throw std::runtime_error(notEnoughMemory(problem, sampleSize) + ": the run needs about " + inBytes(total) + ", " +
                           inBytes(*available) + " are available; " +
                           (need.samples >= need.tables ? "lower --N" : "the formula is too large for this machine"));
}

// Loads the problem, runs and times the replications and writes the table; exceptions go to
// the caller.
void runReplications(const CommandLine& commandLine, bool seeded, Report& report, std::ostream& err,
                     bool errIsTerminal) {
  const std::uint32_t seed =
      seeded ? commandLine.seed.value : static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::time(nullptr)));
  const Problem problem = readDimacs(commandLine.problemPath);
  const EstimatorSettings settings{.method = commandLine.method.value, .seed = seed};
  checkMemory(problem, settings, commandLine.sampleSize);
  try {
    runEstimator(problem, settings, commandLine, report, err, errIsTerminal);
  } catch (const std::bad_alloc&) {
    throw std::runtime_error(notEnoughMemory(problem, commandLine.sampleSize) + "; lower --N");
  }
}

int runWithReport(int argc, const char* const argv[], Report& report, std::ostream& err, bool errIsTerminal) {
  po::options_description description("Options");
  CommandLine commandLine;
  declareOptions(description, commandLine);
  po::variables_map variables;
  try {
    po::store(parseCommandLine(argc, argv, description), variables);
    if (variables.count("help") != 0) return report.help(description);
    if (variables.count("version") != 0) return report.version();
    if (variables.count("problem") == 0) return report.missingOption(Report::Missing::problem);
    if (variables.count("N") == 0) return report.missingOption(Report::Missing::sampleSize);
    if (variables.count("R") == 0) return report.missingOption(Report::Missing::replications);
    po::notify(variables);
  } catch (const po::error& error) {
    return report.commandLineRefused(error, description);
  }

  try {
    runReplications(commandLine, variables.count("seed") != 0, report, err, errIsTerminal);
  } catch (const std::exception& error) {
    return report.experimentFailed(error);
  }
  return Report::kCompleted;
}

}  // namespace

int runExperiment(int argc, const char* const argv[], std::ostream& out, std::ostream& err, bool errIsTerminal) {
  Report report(out, err);
  return report.checkedOutput(runWithReport(argc, argv, report, err, errIsTerminal));
}

}  // namespace monocount
