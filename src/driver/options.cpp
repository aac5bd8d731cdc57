#include "driver/options.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

namespace monocount {

namespace po = boost::program_options;

namespace {

// A decimal number of at most ten digits and nothing else, at most `max`.
std::uint64_t decimalAtMost(const std::string& text, std::uint64_t max) {
  const bool digitsOnly = !text.empty() && text.size() <= 10 &&
                          std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
  if (!digitsOnly || std::stoull(text) > max) throw po::invalid_option_value(text);
  return std::stoull(text);
}

// A decimal number and nothing else (digits, one point and an exponent: strtod alone would also
// take "nan", "inf" and hex); -1 for anything else.
double decimalNumber(const std::string& text) {
  const bool decimal = !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
    return std::isdigit(c) != 0 || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+';
  });
  char* end = nullptr;
  const double value = decimal ? std::strtod(text.c_str(), &end) : -1.0;
  return decimal && end == text.c_str() + text.size() ? value : -1.0;
}

// "a (what a is), b, c or d (what d is)" of a table's names and descriptions.
template <typename Entries>
std::string listed(const Entries& entries) {
  std::string text;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) text += i + 1 == entries.size() ? " or " : ", ";
    text += entries[i].name;
    if (entries[i].description != nullptr) text += std::string(" (") + entries[i].description + ")";
  }
  return text;
}

}  // namespace

void validate(boost::any& result, const std::vector<std::string>& values, SeedOption*, int) {
  po::validators::check_first_occurrence(result);
  const std::string& text = po::validators::get_single_string(values);
  result = SeedOption{static_cast<std::uint32_t>(decimalAtMost(text, std::numeric_limits<std::uint32_t>::max()))};
}

void validate(boost::any& result, const std::vector<std::string>& values, ThreadsOption*, int) {
  po::validators::check_first_occurrence(result);
  const std::string& text = po::validators::get_single_string(values);
  result = ThreadsOption{static_cast<std::int32_t>(decimalAtMost(text, ThreadsOption::kMaxThreads))};
}

void validate(boost::any& result, const std::vector<std::string>& values, MethodOption*, int) {
  po::validators::check_first_occurrence(result);
  const std::string& text = po::validators::get_single_string(values);
  const std::optional<Method> method = methodNamed(text);
  if (!method) throw po::invalid_option_value(text);
  result = MethodOption{*method};
}

void validate(boost::any& result, const std::vector<std::string>& values, FormatOption*, int) {
  po::validators::check_first_occurrence(result);
  const std::string& text = po::validators::get_single_string(values);
  const std::optional<Format> format = formatNamed(text);
  if (!format) throw po::invalid_option_value(text);
  result = FormatOption{*format};
}

void validate(boost::any& result, const std::vector<std::string>& values, ProbabilityOption*, int) {
  const std::string& text = po::validators::get_single_string(values);
  const double value = decimalNumber(text);
  if (!(value >= 0.0 && value <= 1.0)) throw po::invalid_option_value(text);
  result = ProbabilityOption{value};
}

void validate(boost::any& result, const std::vector<std::string>& values, TimeLimitOption*, int) {
  po::validators::check_first_occurrence(result);
  const std::string& text = po::validators::get_single_string(values);
  const double value = decimalNumber(text);
  if (!(value > 0.0 && value <= 366.0 * 24 * 3600)) throw po::invalid_option_value(text);
  result = TimeLimitOption{value};
}

void validate(boost::any& result, const std::vector<std::string>& values, MaxWidthOption*, int) {
  po::validators::check_first_occurrence(result);
  const std::string& text = po::validators::get_single_string(values);
  const auto value = static_cast<std::int32_t>(decimalAtMost(text, 63));
  if (value < 1) throw po::invalid_option_value(text);
  result = MaxWidthOption{value};
}

void validate(boost::any& result, const std::vector<std::string>& values, ParticlesOption*, int) {
  po::validators::check_first_occurrence(result);
  const std::string& text = po::validators::get_single_string(values);
  const auto value = static_cast<std::int32_t>(decimalAtMost(text, 4096));
  if (value < 1) throw po::invalid_option_value(text);
  result = ParticlesOption{value};
}

void validate(boost::any& result, const std::vector<std::string>& values, WalkStepsOption*, int) {
  po::validators::check_first_occurrence(result);
  const std::string& text = po::validators::get_single_string(values);
  result = WalkStepsOption{static_cast<std::int32_t>(decimalAtMost(text, 4096))};
}

void validate(boost::any& result, const std::vector<std::string>& values, TargetOption*, int) {
  po::validators::check_first_occurrence(result);
  const std::string& text = po::validators::get_single_string(values);
  const double value = decimalNumber(text);
  if (!(value > 0.0 && value < 1.0)) throw po::invalid_option_value(text);
  result = TargetOption{value};
}

void declareOptions(po::options_description& description, CommandLine& commandLine) {
  description.add_options()
      ("help", "Specify the problem in valid cnf format and the sample size. Example --problem problemname.cnf --N 10000 --R 10")
      ("problem", po::value<std::string>(&commandLine.problemPath), "problem (path) to run")
      ("N", po::value<int>(&commandLine.sampleSize), "Sample size")
      ("R", po::value<int>(&commandLine.replications), "Number of independent experiments")
      ("seed", po::value<SeedOption>(&commandLine.seed),
       "Seed of the random generator, an unsigned 32-bit integer (default: the current time)")
      ("method", po::value<MethodOption>(&commandLine.method), ("Estimator: " + listed(kMethods)).c_str())
      ("format", po::value<FormatOption>(&commandLine.format), ("Output: " + listed(kFormats)).c_str())
      ("spectrum", po::bool_switch(&commandLine.spectrum),
       "Also estimate N(k), the number of satisfying sets of k variables, for every k")
      ("probability", po::value<std::vector<ProbabilityOption>>(&commandLine.probabilities),
       "Also estimate the probability that the formula holds when every variable is true independently "
       "with probability p (0 <= p <= 1); may be repeated")
      ("threads", po::value<ThreadsOption>(&commandLine.threads),
       "Worker threads, 1 to 1024, or 0 for every core this process may use. crude without this option "
       "draws the classic single random sequence; with it (any value, 1 included) it draws from block "
       "streams, whose digits are the same for every thread count but not those of the classic sequence. "
       "split always draws from block streams and uses every core by default")
      ("time-limit", po::value<TimeLimitOption>(&commandLine.timeLimit),
       "Stop sampling after this many seconds of wall time and report the replications finished (and the one "
       "under way, marked truncated, apart from the pooled answer)")
      ("target-re", po::value<TargetOption>(&commandLine.target),
       ("Run replications until the pooled relative error is at most this (0 < X < 1), after at least " +
        std::to_string(kTargetMinimumReplications) + " of them; --R is then the most it runs")
           .c_str())
      ("max-width", po::value<MaxWidthOption>(&commandLine.maxWidth),
       "The widest tree decomposition the exact method takes, 1 to 63 (default 63); a wider formula is refused "
       "(exact) or sampled by split (auto)")
      ("particles", po::value<ParticlesOption>(&commandLine.particles),
       "split: particles per root, 1 to 4096 (default: chosen from the number of variables)")
      ("walk-steps", po::value<WalkStepsOption>(&commandLine.walkSteps),
       "split: walk steps per particle and size, 0 to 4096 (default: chosen from the number of variables)")
      ("stream", po::value<std::string>(&commandLine.stream),
       "Also write every finished replication as one JSON line to this file, as it ends (for runs watched "
       "from outside)")
      ("version", "Print the version and exit");
}

po::parsed_options parseCommandLine(int argc, const char* const argv[], const po::options_description& description) {
  // --p, --pr, --pro and --prob abbreviate --problem, as they did before --probability shared
  // them (the option library would call them ambiguous).
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + std::max(argc, 0));
  for (std::string& argument : arguments) {
    const std::string name = argument.substr(0, argument.find('='));
    if (name.size() >= 3 && name.size() <= 6 && std::string("--problem").starts_with(name)) {
      argument = "--problem" + argument.substr(name.size());
    }
  }
  po::parsed_options parsed = po::command_line_parser(arguments).options(description).run();
  for (const po::option& option : parsed.options) {
    if (option.position_key >= 0 || option.string_key.empty()) {
      const std::string argument = option.original_tokens.empty() ? std::string() : option.original_tokens.front();
      throw po::error("unexpected argument '" + argument + "': every value follows its option, as in --problem FILE");
    }
  }
  return parsed;
}

}  // namespace monocount
