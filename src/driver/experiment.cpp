#include "driver/experiment.hpp"

#include <boost/program_options.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
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
#include "driver/interruption.hpp"
#include "driver/machine_memory.hpp"
#include "driver/options.hpp"
#include "driver/progress.hpp"
#include "driver/report.hpp"
#include "driver/stream_report.hpp"
#include "driver/summary.hpp"
#include "estimation/estimator.hpp"
#include "estimation/numerics/mean.hpp"
#include "estimation/parallel/block_runner.hpp"
#include "estimation/parallel/rank_group.hpp"
#include "estimation/pooled/run_pool.hpp"
#include "problem/certain_variables.hpp"
#include "problem/dimacs.hpp"
#include "problem/problem.hpp"

namespace monocount {

namespace po = boost::program_options;

namespace {

// Where a run writes and with whom it runs: standard output, standard error (and whether it is
// a terminal, for the progress line), the ranks sharing the run, and what may end it early.
struct RunContext {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal;
  RankGroup& ranks;
  StopRequest& stop;
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
WeightedFormula readOnEveryRank(const std::string& path, RankGroup& ranks) {
  WeightedFormula formula;
  runTogether(ranks, [&] { formula = readWeightedDimacs(path); });
  const Problem& problem = formula.problem;
  if (ranks.size() > 1) {
    std::vector<std::array<std::int64_t, 3>> sizes(static_cast<std::size_t>(ranks.size()));
    sizes[static_cast<std::size_t>(ranks.rank())] = {problem.variableCount, problem.clauseCount,
                                                     static_cast<std::int64_t>(problem.literals.size())};
    ranks.share(sizes.data(), sizeof sizes[0], ranks.size());
    for (const auto& size : sizes) {
      if (size != sizes[0]) throw std::runtime_error(path + ": the ranks read different problems from this path");
    }
  }
  return formula;
}

bool isWeighted(CountType type) { return type == CountType::wmc || type == CountType::pwmc; }

// A formula that the law decides: no clause left (it always holds), or one left empty (never).
Problem decidedProblem(bool holds) {
  Problem problem;
  problem.variableCount = 1;
  if (!holds) {
    problem.clauseCount = 1;
    problem.clauseBegin = {0, 0};
  }
  return problem;
}

// A weighted file's question for the estimators: its law with the variables it makes certain
// taken out of `problem` (which may then be decided), and its factor.
FormulaWeights weightsOf(const WeightedFormula& formula, Problem& problem) {
  const ScaledNumber factor = formula.weights.factor();
  CertainVariablesRemoved uncertain = removeCertainVariables(std::move(problem), formula.weights.law());
  switch (uncertain.outcome) {
    case CertainVariablesRemoved::Outcome::alwaysHolds: problem = decidedProblem(true); break;
    case CertainVariablesRemoved::Outcome::neverHolds: problem = decidedProblem(false); break;
    case CertainVariablesRemoved::Outcome::uncertain: problem = std::move(uncertain.problem); break;
  }
  return {uncertain.law, WideReal::scaled(factor.mantissa, factor.exponent)};
}

// How the work is spread. crude keeps the classic single sequence unless --threads is given,
// several ranks share the run or the file is weighted; without --threads, the other methods
// (and crude in those cases) use every core this process may use.
void spreadWork(EstimatorSettings& settings, const CommandLine& commandLine, RankGroup& ranks) {
  const bool threadsGiven = commandLine.threadsGiven;
  settings.blockStreams = settings.method != Method::crude || threadsGiven || ranks.size() > 1 || settings.weights;
  settings.parallelism.threads = threadsGiven && commandLine.threads.value > 0 ? commandLine.threads.value
                                 : settings.blockStreams                        ? usableCores()
                                                                                : 1;
  settings.parallelism.ranks = &ranks;
}

// The warnings about the run's own shape: replications without samples, or of one sample.
void addShapeWarnings(std::vector<std::string>& warnings, const CommandLine& commandLine) {
  if (commandLine.sampleSize <= 0 || commandLine.replications <= 0) {
    warnings.push_back(std::string("no samples were drawn (") +
                       (commandLine.sampleSize <= 0 ? "--N " + std::to_string(commandLine.sampleSize)
                                                    : "--R " + std::to_string(commandLine.replications)) +
                       "), so there is no estimate");
  } else if (commandLine.sampleSize == 1) {
    warnings.push_back("a replication of one sample has no spread, so its RE is no error estimate; use --N 2 or more");
  }
}

// Whether the pooled answer of the replications so far meets --target-re: after the fewest
// replications whose spread is trusted, the relative error of the pooled estimate must be at
// most the target by both measures, the spread of the replications and their own REs combined
// (their mean over the square root of their number), so that a spread small by chance does not
// end the run.
bool targetReached(const CommandLine& commandLine, const RunPool& pool, const RunningMean& relativeErrors,
                   std::int32_t finished) {
  const double target = commandLine.target.relativeError;
  if (target <= 0.0 || finished < kTargetMinimumReplications) return false;
  const std::optional<double> spread = pool.countRelativeError();
  const double combined = relativeErrors.value() / std::sqrt(static_cast<double>(finished));
  return spread && *spread <= target && combined <= target;
}

// Runs and times the replications, writes the report in the chosen format (and the stream, if
// asked), then the warnings on `err`. The CPU column sums the processor time of every thread on
// every rank. The run ends after R replications, or earlier at the time limit, at the target
// relative error or on a signal; a replication cut short by the time limit is written as
// truncated and left out of the pooled answer, one cut short by a signal is dropped.
void runEstimator(const Problem& problem, EstimatorSettings settings, const RunDescription& description,
                  const PoolRequest& request, const RunContext& context) {
  const CommandLine& commandLine = description.options;
  RankGroup& ranks = context.ranks;
  SignalStop signals(context.stop);
  settings.parallelism.stop = &context.stop;
  std::optional<Estimator> estimator;
  runTogether(ranks, [&] { estimator.emplace(problem, settings); });
  RunPool pool(problem, request);
  RunSummary summary;
  RunningMean relativeErrors;
  RunningMean cpuTimes;
  ProgressLine progress(context.err, context.errIsTerminal, commandLine.replications, commandLine.sampleSize);
  std::int32_t finished = 0;
  estimator->onProgress([&](double samples) { progress.update(finished, samples); });

  std::vector<std::unique_ptr<RunWriter>> writers;
  writers.push_back(formatEntry(commandLine.format.value).makeWriter(context.out));
  if (!commandLine.stream.empty() && ranks.rank() == 0) writers.push_back(std::make_unique<StreamWriter>(commandLine.stream));
  for (const auto& writer : writers) writer->start(description);
  // The exact answer is the same every time: one replication gives it.
  const std::int32_t replications =
      settings.method == Method::exact ? std::min(commandLine.replications, 1) : commandLine.replications;
  while (finished < replications) {
    // Between replications the ranks agree whether to go on (their clocks differ).
    if (onAnyRank(ranks, context.stop.due())) {
      summary.end = context.stop.reason() == StopReason::interrupted ? RunEnd::interrupted : RunEnd::timeLimit;
      break;
    }
    const auto wallStart = std::chrono::steady_clock::now();
    const std::clock_t start = std::clock();
    const Replication replication = estimator->estimateModelCount(commandLine.sampleSize);
    const std::clock_t stop = std::clock();
    std::uint64_t ticks = static_cast<std::uint64_t>(std::max<std::clock_t>(stop - start, 0));
    ranks.sum({&ticks, 1});
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
    progress.finish();
    if (replication.stopped == StopReason::interrupted) {
      summary.end = RunEnd::interrupted;
      break;
    }
    const ReplicationRow row{.number = finished + 1,
                             .estimate = replication.estimate,
                             .relativeError = replication.relativeError,
                             .cpuSeconds = Report::cpuSeconds(0, static_cast<std::clock_t>(ticks)),
                             .wallSeconds = wall.count(),
                             .samples = replication.samples,
                             .truncated = replication.stopped == StopReason::timeLimit,
                             .exact = replication.exact};
    if (row.truncated) {
      summary.end = RunEnd::timeLimit;
      if (row.samples > 0) {
        for (const auto& writer : writers) writer->row(row);
        summary.warnings.push_back("the time limit cut replication " + std::to_string(row.number) + " short after " +
                                   std::to_string(row.samples) + " of " + std::to_string(commandLine.sampleSize) +
                                   " samples; it is written as truncated and left out of the pooled answer");
      }
      break;
    }
    ++finished;
    relativeErrors.add(row.relativeError);
    cpuTimes.add(row.cpuSeconds);
    pool.add(replication);
    addWarnings(summary.warnings, replication.warnings);
    for (const auto& writer : writers) writer->row(row);
    if (targetReached(commandLine, pool, relativeErrors, finished)) {
      summary.end = RunEnd::targetReached;
      break;
    }
  }
  progress.finish();
  if (summary.end == RunEnd::interrupted) {
    summary.signal = SignalStop::caughtName();
    summary.warnings.push_back(std::string("interrupted") + (summary.signal ? std::string(" by ") + summary.signal : "") +
                               " after " + std::to_string(finished) + " finished replications; they are written");
  }
  summary.split = estimator->splitDescription();
  summary.meanRelativeError = relativeErrors.value();
  summary.meanCpuSeconds = cpuTimes.value();
  summary.pooled = pool.result();
  addWarnings(summary.warnings, summary.pooled.warnings);
  addShapeWarnings(summary.warnings, commandLine);
  if (commandLine.target.relativeError > 0.0 && summary.end == RunEnd::completed) {
    summary.warnings.push_back("the pooled relative error did not reach --target-re " +
                               std::to_string(commandLine.target.relativeError) + " within --R " +
                               std::to_string(commandLine.replications) + " replications");
  }
  for (const auto& writer : writers) writer->finish(summary);
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
void runReplications(RunDescription description, const RunContext& context) {
  const CommandLine& commandLine = description.options;
  RankGroup& ranks = context.ranks;
  description.seed = runSeed(description, ranks);
  WeightedFormula formula = readOnEveryRank(commandLine.problemPath, ranks);
  Problem problem = std::move(formula.problem);
  description.variables = problem.variableCount;
  description.clauses = problem.clauseCount;
  description.literals = static_cast<std::int64_t>(problem.literals.size());
  description.type = formula.type;
  PoolRequest request{commandLine.spectrum, {}};
  for (const ProbabilityOption& p : commandLine.probabilities) request.laws.push_back(VariableProbabilities::uniform(p.value));
  EstimatorSettings settings{.method = commandLine.method.value,
                             .seed = description.seed,
                             .spectrum = request.needsSizes(),
                             .laws = request.laws};
  if (isWeighted(formula.type)) {
    if (request.needsSizes()) {
      throw std::runtime_error(commandLine.problemPath +
                               ": a weighted file is answered under its own weights, and --spectrum and --probability "
                               "count without them; give them an unweighted file");
    }
    settings.weights = weightsOf(formula, problem);
    description.factor = settings.weights->factor;
    if (settings.weights->law.isUniform()) request.countLaw = settings.weights->law;
  }
  spreadWork(settings, commandLine, ranks);
  settings.maxWidth = commandLine.maxWidth.value;
  settings.particles = commandLine.particles.value;
  settings.walkSteps = commandLine.walkSteps.value;
  settings.memoryLimit = availableMemory().value_or(0);
  // exact and auto: the exact counter's plan, said on standard error before anything runs.
  MethodChoice choice;
  runTogether(ranks, [&] { choice = Estimator::choose(problem, settings); });
  if (!choice.refusal.empty()) throw std::runtime_error(commandLine.problemPath + ": " + choice.refusal);
  if (!choice.reason.empty()) context.err << choice.reason << std::endl;
  settings.method = choice.method;
  settings.exactPlan = choice.plan;
  description.method = choice.method;
  description.blockStreams = settings.method != Method::exact && (settings.blockStreams || ranks.size() > 1);
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
    const Method method = run.options.method.value;
    if ((variables.count("particles") != 0 || variables.count("walk-steps") != 0) &&
        (method == Method::crude || method == Method::exact)) {
      throw po::error("--particles and --walk-steps set how split runs; --method " +
                      std::string(methodEntry(method).name) + " takes neither");
    }
  } catch (const po::error& error) {
    return report.commandLineRefused(error, description);
  }

  run.seeded = variables.count("seed") != 0;
  run.arguments.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
  try {
    run.options.threadsGiven = variables.count("threads") != 0;
    if (run.options.timeLimit.seconds > 0.0) {
      context.stop.setDeadline(StopRequest::Clock::now() + std::chrono::duration_cast<StopRequest::Clock::duration>(
                                                               std::chrono::duration<double>(run.options.timeLimit.seconds)));
    }
    runReplications(std::move(run), context);
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
  StopRequest stop;
  const RunContext context{out, err, errIsTerminal, ranks != nullptr ? *ranks : alone, stop};
  const int status = report.checkedOutput(runWithReport(argc, argv, report, context));
  // Interrupted: the run wrote what it finished; now end as the signal would have.
  if (stop.reason() == StopReason::interrupted && SignalStop::caught() != 0) SignalStop::endAs(SignalStop::caught());
  return status;
}

}  // namespace monocount
