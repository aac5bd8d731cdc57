#pragma once

#include <boost/any.hpp>
#include <boost/program_options.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/formats.hpp"
#include "estimation/estimator.hpp"

namespace monocount {

// The value of --seed: a decimal unsigned 32-bit integer, nothing else ("-1" and
// "4294967296" are refused rather than wrapped).
struct SeedOption {
  std::uint32_t value = 0;
};

// The value of --method: which estimator runs the replications.
struct MethodOption {
  Method value = Method::crude;
};

// The value of --format: table (the classic report, the default), json, csv or mcc.
struct FormatOption {
  Format value = Format::table;
};

// One value of --probability: a decimal number p with 0 <= p <= 1 ("nan", "inf", "1e-3x" and
// "1.5" are refused).
struct ProbabilityOption {
  double value = 0.0;
};

// The value of --threads: a decimal integer from 0 (every core the process may use) to
// kMaxThreads.
struct ThreadsOption {
  static constexpr std::int32_t kMaxThreads = 1024;
  std::int32_t value = 0;
};

// The value of --time-limit: seconds of wall time, a decimal number above 0 (at most a year);
// 0 when the option is absent.
struct TimeLimitOption {
  double seconds = 0.0;
};

// The value of --target-re: the pooled relative error at which the run may stop, a decimal
// number with 0 < X < 1; 0 when the option is absent.
struct TargetOption {
  double relativeError = 0.0;
};

// The value of --max-width: the widest tree decomposition the exact method takes, 1 to 63.
struct MaxWidthOption {
  std::int32_t value = 63;
};

// The values of --particles (1 to 4096) and --walk-steps (0 to 4096): how each root of split
// runs; absent (0 and -1), they are chosen from the formula.
struct ParticlesOption {
  std::int32_t value = 0;
};
struct WalkStepsOption {
  std::int32_t value = -1;
};

// Hooks through which Boost.program_options parses these types; a bad value raises
// boost::program_options::invalid_option_value like any other bad value.
void validate(boost::any& result, const std::vector<std::string>& values, SeedOption*, int);
void validate(boost::any& result, const std::vector<std::string>& values, MethodOption*, int);
void validate(boost::any& result, const std::vector<std::string>& values, FormatOption*, int);
void validate(boost::any& result, const std::vector<std::string>& values, ProbabilityOption*, int);
void validate(boost::any& result, const std::vector<std::string>& values, ThreadsOption*, int);
void validate(boost::any& result, const std::vector<std::string>& values, TimeLimitOption*, int);
void validate(boost::any& result, const std::vector<std::string>& values, TargetOption*, int);
void validate(boost::any& result, const std::vector<std::string>& values, MaxWidthOption*, int);
void validate(boost::any& result, const std::vector<std::string>& values, ParticlesOption*, int);
void validate(boost::any& result, const std::vector<std::string>& values, WalkStepsOption*, int);

// What the command line sets.
struct CommandLine {
  std::string problemPath;
  int sampleSize = 0;
  int replications = 0;
  SeedOption seed;
  MethodOption method;
  FormatOption format;
  bool spectrum = false;
  std::vector<ProbabilityOption> probabilities;  // in the order given
  ThreadsOption threads;
  bool threadsGiven = false;  // whether --threads was given (set after parsing)
  TimeLimitOption timeLimit;
  TargetOption target;
  MaxWidthOption maxWidth;
  ParticlesOption particles;
  WalkStepsOption walkSteps;
  std::string stream;  // --stream: a file for one JSON line per finished replication; empty: none
};

// The fewest finished replications whose spread --target-re trusts.
inline constexpr std::int32_t kTargetMinimumReplications = 10;

// Declares the options, in the order --help lists them, bound to `commandLine`.
void declareOptions(boost::program_options::options_description& description, CommandLine& commandLine);

// Parses the command line against `description` as Boost.program_options does by default (an
// unambiguous prefix of an option's name stands for the option; --p to --prob, which --problem
// shares with --probability, stand for --problem), and
// refuses an argument that belongs to no option ("b.cnf" in "--problem a.cnf b.cnf"), which
// would otherwise be dropped in silence. Throws boost::program_options::error.
boost::program_options::parsed_options parseCommandLine(int argc, const char* const argv[],
                                                        const boost::program_options::options_description& description);

}  // namespace monocount
