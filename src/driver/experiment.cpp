#include "driver/experiment.hpp"

#include <boost/program_options.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "driver/formats.hpp"
#include "driver/machine_memory.hpp"
#include "driver/options.hpp"
#include "driver/progress.hpp"
#include "driver/report.hpp"
#include "driver/summary.hpp"
#include "estimation/estimator.hpp"
#include "estimation/numerics/mean.hpp"
#include "estimation/parallel/block_runner.hpp"
#include "estimation/parallel/rank_group.hpp"
#include "estimation/pooled/run_pool.hpp"
#include "problem/dimacs.hpp"
#include "problem/problem.hpp"

namespace monocount {

namespace po = boost::program_options;

namespace {

// Where a run writes and with whom it runs: standard output, standard error (and whether it is
// a terminal, for the progress line), and the ranks sharing the run.
struct RunContext {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal;
  RankGroup& ranks;
};

// Each warning once, in the order raised.
void addWarnings(std::vector<std::string>& warnings, const std::vector<std::string>& raised) {
  for (const std::string& warning : raised) {
    if (std::find(warnings.begin(), warnings.end(), warning) == warnings.end()) warnings.push_back(warning);
  }
}

// The seed: --seed, or the current time on rank 0, which every rank then takes.
std::uint32_t runSeed(const RunDescription& description, RankGroup& ranks) {
  if (description.seeded) return description.options.seed.value;
  std::vector<std::uint32_t> seeds(static_cast<std::size_t>(ranks.size()), 0);
  seeds[static_cast<std::size_t>(ranks.rank())] =
      static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::time(nullptr)));
  ranks.share(seeds.data(), sizeof seeds[0], ranks.size());
  return seeds[0];
}

// Every rank reads the problem itself; the ranks then check they read the same sizes.
Problem readOnEveryRank(const std::string& path, RankGroup& ranks) {
  Problem problem;
  runTogether(ranks, [&] { problem = readDimacs(path); });
  if (ranks.size() > 1) {
    std::vector<std::array<std::int64_t, 3>> sizes(static_cast<std::size_t>(ranks.size()));
    sizes[static_cast<std::size_t>(ranks.rank())] = {problem.variableCount, problem.clauseCount,
                                                     static_cast<std::int64_t>(problem.literals.size())};
    ranks.share(sizes.data(), sizeof sizes[0], ranks.size());
    for (const auto& size : sizes) {
      if (size != sizes[0]) throw std::runtime_error(path + ": the ranks read different problems from this path");
    }
  }
  return problem;
}

// How the work is spread. crude keeps the classic single sequence unless --threads is given or
// several ranks share the run; without --threads, split (and crude on several ranks) uses every
// core this process may use.
void spreadWork(EstimatorSettings& settings, const CommandLine& commandLine, bool threadsGiven, RankGroup& ranks) {
  settings.blockStreams = settings.method == Method::split || threadsGiven || ranks.size() > 1;
  settings.parallelism.threads = threadsGiven && commandLine.threads.value > 0 ? commandLine.threads.value
                                 : settings.blockStreams                        ? usableCores()
                                                                                : 1;
  settings.parallelism.ranks = &ranks;
}

// Runs and times the replications, writes the report in the chosen format, then the warnings
// on `err`. The CPU column sums the processor time of every thread on every rank.
void runEstimator(const Problem& problem, const EstimatorSettings& settings, const RunDescription& description,
                  const PoolRequest& request, const RunContext& context) {
  const CommandLine& commandLine = description.options;
  RankGroup& ranks = context.ranks;
  std::optional<Estimator> estimator;
  runTogether(ranks, [&] { estimator.emplace(problem, settings); });
  RunPool pool(problem, request);
  RunSummary summary;
  RunningMean relativeErrors;
  RunningMean cpuTimes;
  ProgressLine progress(context.err, context.errIsTerminal, commandLine.replications, commandLine.sampleSize);
  std::int32_t finished = 0;
  estimator->onProgress([&](double samples) { progress.update(finished, samples); });

  const std::unique_ptr<RunWriter> writer = formatEntry(commandLine.format.value).makeWriter(context.out);
  writer->start(description);
  while (finished < commandLine.replications) {
    const auto wallStart = std::chrono::steady_clock::now();
    const std::clock_t start = std::clock();
    const Replication replication = estimator->estimateModelCount(commandLine.sampleSize);
    const std::clock_t stop = std::clock();
    std::uint64_t ticks = static_cast<std::uint64_t>(std::max<std::clock_t>(stop - start, 0));
    ranks.sum({&ticks, 1});
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
    ++finished;
    progress.finish();
    const ReplicationRow row{finished, replication.estimate, replication.relativeError,
                             Report::cpuSeconds(0, static_cast<std::clock_t>(ticks)), wall.count()};
    relativeErrors.add(row.relativeError);
    cpuTimes.add(row.cpuSeconds);
    pool.add(replication);
    addWarnings(summary.warnings, replication.warnings);
    writer->row(row);
  }
  progress.finish();
  summary.split = estimator->splitDescription();
  summary.meanRelativeError = relativeErrors.value();
  summary.meanCpuSeconds = cpuTimes.value();
  summary.pooled = pool.result();
  addWarnings(summary.warnings, summary.pooled.warnings);
  writer->finish(summary);
  for (const std::string& warning : summary.warnings) context.err << "warning: " << warning << std::endl;
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

// Refuses, before anything is built, a run whose estimator (and pooled spectrum) needs more
// memory than is available.
void checkMemory(const Problem& problem, const EstimatorSettings& settings, const PoolRequest& request,
                 std::int32_t sampleSize) {
  MemoryNeed need = Estimator::memoryNeeded(problem, settings, sampleSize);
  need.tables += RunPool::memoryNeeded(problem, request);
  const std::optional<std::uint64_t> available = availableMemory();
  const std::uint64_t total = need.tables + need.samples;
  if (!available || total <= *available) return;
  EstimatorSettings oneThread = settings;
  oneThread.parallelism.threads = 1;
  const MemoryNeed alone = Estimator::memoryNeeded(problem, oneThread, sampleSize);
  const char* remedy = need.samples >= need.tables                ? "lower --N"
                       : alone.tables + alone.samples <= *available ? "lower --threads"
                                                                    : "the formula is too large for this machine";
  throw std::runtime_error(notEnoughMemory(problem, sampleSize) + ": the run needs about " + inBytes(total) + ", " +
                           inBytes(*available) + " are available; " + remedy);
}

// Loads the problem, runs and times the replications and writes the report; exceptions go to
// the caller, on every rank alike.
void runReplications(RunDescription description, bool threadsGiven, const RunContext& context) {
  const CommandLine& commandLine = description.options;
  RankGroup& ranks = context.ranks;
  description.seed = runSeed(description, ranks);
  const Problem problem = readOnEveryRank(commandLine.problemPath, ranks);
  description.variables = problem.variableCount;
  description.clauses = problem.clauseCount;
  description.literals = static_cast<std::int64_t>(problem.literals.size());
  PoolRequest request{commandLine.spectrum, {}};
  for (const ProbabilityOption& p : commandLine.probabilities) request.laws.push_back(VariableProbabilities::uniform(p.value));
  EstimatorSettings settings{.method = commandLine.method.value,
                             .seed = description.seed,
                             .spectrum = request.needsSizes(),
                             .laws = request.laws};
  spreadWork(settings, commandLine, threadsGiven, ranks);
  runTogether(ranks, [&] { checkMemory(problem, settings, request, commandLine.sampleSize); });
  try {
    runEstimator(problem, settings, description, request, context);
  } catch (const std::bad_alloc&) {
    throw std::runtime_error(notEnoughMemory(problem, commandLine.sampleSize) + "; lower --N");
  }
}

int runWithReport(int argc, const char* const argv[], Report& report, const RunContext& context) {
  po::options_description description("Options");
  RunDescription run;
  declareOptions(description, run.options);
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

  run.seeded = variables.count("seed") != 0;
  run.arguments.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
  try {
    const bool threadsGiven = variables.count("threads") != 0;
    runReplications(std::move(run), threadsGiven, context);
  } catch (const std::exception& error) {
    return report.experimentFailed(error);
  }
  return Report::kCompleted;
}

}  // namespace

int runExperiment(int argc, const char* const argv[], std::ostream& out, std::ostream& err, bool errIsTerminal,
                  RankGroup* ranks) {
  Report report(out, err);
  SingleProcess alone;
  const RunContext context{out, err, errIsTerminal, ranks != nullptr ? *ranks : alone};
  return report.checkedOutput(runWithReport(argc, argv, report, context));
}

}  // namespace monocount
