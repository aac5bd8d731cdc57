#include "driver/experiment.hpp"

#include <boost/program_options.hpp>
#include <cstdint>
#include <ctime>
#include <exception>
#include <ostream>

#include "driver/options.hpp"
#include "driver/progress.hpp"
#include "driver/report.hpp"
#include "estimation/estimator.hpp"
#include "problem/dimacs.hpp"
#include "problem/problem.hpp"

namespace monocount {

namespace po = boost::program_options;

namespace {

// Loads the problem, runs and times the replications and writes the table; exceptions go to
// the caller.
void runReplications(const CommandLine& commandLine, bool seeded, Report& report, std::ostream& err,
                     bool errIsTerminal) {
  const std::uint32_t seed =
      seeded ? commandLine.seed.value : static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::time(nullptr)));
  const Problem problem = readDimacs(commandLine.problemPath);
  Estimator estimator(problem, {.method = commandLine.method.value, .seed = seed});

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
