// The command line, tested on the built executable: standard output, standard error and the
// exit status as the shell sees them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <nlohmann/json.hpp>
#include <string>

#include "support/formulas.hpp"

namespace {

struct Outcome {
  std::string out;
  std::string err;
  int status;
};

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string fixture(const std::string& name) { return std::string(MONOCOUNT_FIXTURES) + "/cli/" + name; }

// The formula written to a temporary DIMACS file of its own (named after the process and a
// count, so that files alive at the same time never share one) that lives as long as the object.
struct FormulaFile {
  explicit FormulaFile(const monocount::support::Formula& formula)
      : path(std::filesystem::temp_directory_path() /
             ("monocount_cli_" + std::to_string(::getpid()) + "_" + std::to_string(next++) + ".cnf")) {
    std::ofstream out(path);
    monocount::support::writeDimacs(formula, out);
  }
  static inline int next = 0;
  ~FormulaFile() { std::filesystem::remove(path); }
  std::filesystem::path path;
};

// Runs monocount with `arguments` (already quoted for the shell), standard input from `input`,
// standard output to `output` when given (then `out` is empty), standard error not a terminal.
// `prefix` runs in the same shell first.
Outcome monocount(const std::string& arguments, const std::string& input = "/dev/null", const char* output = nullptr,
                  const std::string& prefix = "") {
  const auto directory = std::filesystem::temp_directory_path();
  const std::string stem = "monocount_cli_" + std::to_string(::getpid());
  const auto out = directory / (stem + ".out");
  const auto err = directory / (stem + ".err");
  const std::string command = prefix +
      std::string(MONOCOUNT_BINARY) + " " + arguments + " >" + (output != nullptr ? output : out.string()) + " 2>" +
      err.string() + " <" + input;
  const int raw = std::system(command.c_str());
  Outcome run{slurp(out), slurp(err), WIFEXITED(raw) ? WEXITSTATUS(raw) : -1};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return run;
}

// The report header, as a regular expression.
const char* const kHeaderPattern = "\n#replication \\| estimator \\| RE \\| CPU\n-----------------------------------------\n";

TEST(CommandLine, PresenceOfTheThreeInputs) {
  struct Case {
    const char* arguments;
    const char* out;
  };
  const std::string problem = "--problem " + fixture("path3.cnf");
  const Case cases[] = {
      {"", "No problem specified\n"},
      {"--N 10 --R 2", "No problem specified\n"},
      {"--problem x.cnf --R 5", "No sample size specified\n"},
      {"--prob x.cnf --R 5", "No sample size specified\n"},  // --problem's prefix, shared with --probability
      {"--proba 0.5 --N 5 --R 5", "No problem specified\n"},
      {"--problem x.cnf --N 10", "No replication number specified\n"},
      {"--R 1 --N 1", "No problem specified\n"},  // only the first missing one is reported
      {"--format json --spectrum --N 10 --R 2", "No problem specified\n"},  // in every format
  };
  for (const Case& c : cases) {
    const Outcome run = monocount(c.arguments);
    EXPECT_EQ(run.out, c.out) << c.arguments;
    EXPECT_EQ(run.err, "") << c.arguments;
    EXPECT_EQ(run.status, 1) << c.arguments;
  }
}

TEST(CommandLine, HelpWinsOverEverythingButParseErrors) {
  for (const char* arguments : {"--help", "--help --N 5", "--problem nowhere.cnf --help --N 1 --R 1", "--help --format json"}) {
    const Outcome run = monocount(arguments);
    EXPECT_EQ(run.status, 0) << arguments;
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(run.out.rfind("Basic Command Line Parameter App\nOptions:\n", 0), 0u) << run.out;
    // Every option, in declaration order, the additions last.
    std::size_t at = 0;
    for (const char* option : {"--help", "--problem", "--N", "--R", "--seed", "--method", "--format", "--spectrum",
                               "--probability", "--threads", "--version"}) {
      const std::size_t found = run.out.find(std::string("  ") + option + " ", at);
      ASSERT_NE(found, std::string::npos) << option;
      at = found;
    }
    EXPECT_NE(run.out.find("Example --problem problemname.cnf --N 10000 --R"), std::string::npos);
    EXPECT_EQ(run.out.find("#replication"), std::string::npos);
  }
}

TEST(CommandLine, VersionIsTheProjectVersionAndHelpWinsOverIt) {
  const Outcome version = monocount("--version --N abc");  // a refused command line still wins
  EXPECT_EQ(version.status, 255);
  const Outcome alone = monocount("--version");
  EXPECT_EQ(alone.status, 0);
  EXPECT_EQ(alone.out, std::string("monocount ") + MONOCOUNT_VERSION + "\n");
  EXPECT_EQ(monocount("--help --version").out.rfind("Basic Command Line Parameter App\n", 0), 0u);
}

TEST(CommandLine, RefusedCommandLinesExit255WithTheOptionsOnStandardError) {
  struct Case {
    const char* arguments;
    const char* message;
  };
  const Case cases[] = {
      {"--N abc --R 1 --problem x", "the argument ('abc') for option '--N' is invalid"},
      {"--M 3", "unrecognised option '--M'"},
      {"--N 3 --N 4 --R 1 --problem x", "option '--N' cannot be specified more than once"},
      {"--problem", "the required argument for option '--problem' is missing"},
      {"--help --N abc", "the argument ('abc') for option '--N' is invalid"},
      {"--N 99999999999 --R 1 --problem x", "the argument ('99999999999') for option '--N' is invalid"},
      {"--seed -1 --N 1 --R 1 --problem x", "for option '--seed' is invalid"},
      {"--seed 4294967296 --N 1 --R 1 --problem x", "the argument ('4294967296') for option '--seed' is invalid"},
      {"--seed 12x --N 1 --R 1 --problem x", "the argument ('12x') for option '--seed' is invalid"},
      {"--method exactly --N 1 --R 1 --problem x", "the argument ('exactly') for option '--method' is invalid"},
      {"--max-width 64 --N 1 --R 1 --problem x", "the argument ('64') for option '--max-width' is invalid"},
      {"--problem x --N 1 --R 1 b.cnf", "unexpected argument 'b.cnf': every value follows its option"},
      {"--format xml --N 1 --R 1 --problem x", "the argument ('xml') for option '--format' is invalid"},
      {"--format csv --format json --N 1 --R 1 --problem x", "option '--format' cannot be specified more than once"},
      {"--probability 1.5 --N 1 --R 1 --problem x", "the argument ('1.5') for option '--probability' is invalid"},
      {"--probability nan --N 1 --R 1 --problem x", "the argument ('nan') for option '--probability' is invalid"},
      {"--probability 0.5x --N 1 --R 1 --problem x", "the argument ('0.5x') for option '--probability' is invalid"},
      {"--probability -0.1 --N 1 --R 1 --problem x", "the argument ('-0.1') for option '--probability' is invalid"},
      {"--threads -1 --N 1 --R 1 --problem x", "for option '--threads' is invalid"},
      {"--threads 1025 --N 1 --R 1 --problem x", "the argument ('1025') for option '--threads' is invalid"},
      {"--threads 2x --N 1 --R 1 --problem x", "the argument ('2x') for option '--threads' is invalid"},
      {"--time-limit 0 --N 1 --R 1 --problem x", "the argument ('0') for option '--time-limit' is invalid"},
      {"--time-limit 1h --N 1 --R 1 --problem x", "the argument ('1h') for option '--time-limit' is invalid"},
      {"--target-re 1 --N 1 --R 1 --problem x", "the argument ('1') for option '--target-re' is invalid"},
      {"--target-re 0 --N 1 --R 1 --problem x", "the argument ('0') for option '--target-re' is invalid"},
      {"--particles 0 --N 1 --R 1 --problem x", "the argument ('0') for option '--particles' is invalid"},
      {"--walk-steps 4097 --N 1 --R 1 --problem x", "the argument ('4097') for option '--walk-steps' is invalid"},
      {"--walk-steps 8 --N 1 --R 1 --problem x", "--method crude takes neither"},
  };
  for (const Case& c : cases) {
    const Outcome run = monocount(c.arguments);
    EXPECT_EQ(run.status, 255) << c.arguments;
    EXPECT_EQ(run.out, "") << c.arguments;
    EXPECT_EQ(run.err.rfind("ERROR: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\n\nOptions:\n"), std::string::npos) << run.err;
  }
}

TEST(CommandLine, ReportLayout) {
  for (const char* method : {"", " --method=crude", " --method=split"}) {
    const Outcome run = monocount("--problem=" + fixture("both.cnf") + " --N=1000 --R=2 --seed=5" + method);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    // One clause holding both variables: every order scores 3, exactly.
    const std::regex layout(std::string(kHeaderPattern) +
                            "1 3 0 [0-9.e-]+\n"
                            "2 3 0 [0-9.e-]+\n"
                            "-----------------------------------------\n"
                            "Average: 3 0 [0-9.e-]+\n");
    EXPECT_TRUE(std::regex_match(run.out, layout)) << method << "\n" << run.out;
  }
}

TEST(CommandLine, EmptyReplicationsAndSamplesGiveNaN) {
  const Outcome none = monocount("--problem " + fixture("path3.cnf") + " --N 10 --R 0");
  EXPECT_EQ(none.status, 0);
  EXPECT_TRUE(std::regex_match(none.out, std::regex(std::string(kHeaderPattern) +
                                                    "-----------------------------------------\n"
                                                    "Average: -?nan -?nan -?nan\n")))
      << none.out;
  const Outcome empty = monocount("--problem " + fixture("path3.cnf") + " --N 0 --R 2 --seed 1");
  EXPECT_EQ(empty.status, 0);
  EXPECT_TRUE(std::regex_match(empty.out, std::regex(std::string(kHeaderPattern) +
                                                     "1 -?nan -?nan [0-9.e-]+\n2 -?nan -?nan [0-9.e-]+\n"
                                                     "-----------------------------------------\n"
                                                     "Average: -?nan -?nan [0-9.e-]+\n")))
      << empty.out;
  EXPECT_EQ(none.err, "warning: no samples were drawn (--R 0), so there is no estimate\n");
  EXPECT_EQ(empty.err, "warning: no samples were drawn (--N 0), so there is no estimate\n");
}

TEST(CommandLine, SameSeedSameNumbers) {
  const std::string arguments = "--problem " + fixture("path3.cnf") + " --N 2000 --R 3 --seed 4294967295";
  const Outcome first = monocount(arguments);
  const Outcome second = monocount(arguments);
  ASSERT_EQ(first.status, 0);
  // Everything but the CPU column.
  const std::regex cpu(" [0-9.e-]+\n");
  EXPECT_EQ(std::regex_replace(first.out, cpu, "\n"), std::regex_replace(second.out, cpu, "\n"));
  EXPECT_NE(first.out.find("\n1 5"), std::string::npos) << first.out;  // about 5 covers
  const Outcome other = monocount("--problem " + fixture("path3.cnf") + " --N 2000 --R 3 --seed 1");
  EXPECT_NE(std::regex_replace(first.out, cpu, "\n"), std::regex_replace(other.out, cpu, "\n"));
}

// "-" is standard input, compressed or not; its messages name it <stdin>.
TEST(CommandLine, ReadsStandardInput) {
  const struct {
    std::string input;
    const char* out;  // found in standard output
  } cases[] = {
      {fixture("both.cnf"), "\nAverage: 3 0 "},
      {std::string(MONOCOUNT_FIXTURES) + "/reader/example.cnf.gz", "\nAverage: "},
  };
  for (const auto& c : cases) {
    const Outcome run = monocount("--problem - --N 100 --R 1 --seed 1", c.input);
    EXPECT_EQ(run.status, 0) << c.input;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
  }
  const Outcome refused = monocount("--problem - --N 1 --R 1", fixture("negative.cnf"));
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.out.find(": <stdin>:3: negative literal -3"), std::string::npos) << refused.out;
}

// Memory follows the formula: nothing is built per variable for a formula without clauses, and a
// run that needs more than is available is refused before it starts, saying what to lower.
TEST(CommandLine, MemoryFollowsTheFormulaAndTheRunsNeeds) {
  for (const char* method : {"crude", "split"}) {
    const Outcome run = monocount("--problem " + fixture("no-clauses-many-variables.cnf") + " --N 5 --R 1 --method " + method);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\n1 3.68467e+30102999 0 "), std::string::npos) << run.out;
  }
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer cannot start under an address-space limit";
#endif
  const Outcome refused = monocount("--problem " + fixture("path3.cnf") + " --N 2147483647 --R 1", "/dev/null",
                                    nullptr, "ulimit -v 1000000; ");
  EXPECT_EQ(refused.status, 2);
  EXPECT_TRUE(std::regex_search(refused.out, std::regex("^Unhandled Exception reached the top of main: not enough memory "
                                                        "for N = 2147483647 samples of 3 variables: the run needs about "
                                                        "2.0 GiB, [0-9]+ MiB are available; lower --N,")))
      << refused.out;
  // 1024 workers with an index of their own each need some 2 GiB on the 150 x 150 grid; one fits.
  const FormulaFile grid(monocount::support::gridVertexCover(150, 150));
  const Outcome threads = monocount("--problem " + grid.path.string() + " --N 4000 --R 1 --threads 1024", "/dev/null",
                                    nullptr, "ulimit -v 1000000; ");
  EXPECT_EQ(threads.status, 2);
  EXPECT_NE(threads.out.find(" are available; lower --threads,"), std::string::npos) << threads.out;
}

// A report that cannot be written is a failure, not a success.
TEST(CommandLine, UnwritableOutputExits2) {
  for (const std::string& arguments : {std::string("--version"), "--problem " + fixture("both.cnf") + " --N 10 --R 2"}) {
    const Outcome run = monocount(arguments, "/dev/null", "/dev/full");
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.err, "monocount: cannot write to standard output: the output is incomplete\n");
  }
}

TEST(CommandLine, TheNumberOfThreadsChangesNoDigit) {
  const std::regex cpu(" [0-9.e-]+\n");
  const auto rows = [&](const std::string& options) {
    const Outcome run = monocount("--problem " + fixture("grid3x4.cnf") + " --R 2 --seed 9 " + options);
    EXPECT_EQ(run.status, 0) << options;
    return std::regex_replace(run.out, cpu, "\n");
  };
  // Several blocks per replication for both methods.
  for (const std::string method : {"--N 40000 --method crude", "--N 3000 --method split"}) {
    const std::string one = rows(method + " --threads 1");
    for (const char* threads : {" --threads 2", " --threads 5", " --threads 0"}) EXPECT_EQ(rows(method + threads), one);
  }
  // split draws from block streams with or without --threads; crude without it from the classic
  // sequence, whose first row is pinned here.
  EXPECT_EQ(rows("--N 3000 --method split"), rows("--N 3000 --method split --threads 1"));
  EXPECT_NE(rows("--N 40000"), rows("--N 40000 --threads 1"));
  // Where the system starts fewer threads than asked for (their stacks exceed the address-space
  // limit), the others do the work.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)  // neither starts under the limit
  const Outcome limited = monocount("--problem " + fixture("grid3x4.cnf") + " --R 2 --seed 9 --N 600000 --threads 1000",
                                    "/dev/null", nullptr, "ulimit -v 400000; ");
  EXPECT_EQ(std::regex_replace(limited.out, cpu, "\n"), rows("--N 600000 --threads 1"));
#endif
  const Outcome classic = monocount("--problem " + fixture("path3.cnf") + " --N 2000 --R 1 --seed 4294967295");
  EXPECT_NE(classic.out.find("\n1 5.0155 0.00632902 "), std::string::npos) << classic.out;
}

TEST(CommandLine, RefusedProblemFilesExit2WithoutAReport) {
  struct Case {
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {fixture("negative.cnf"),
       fixture("negative.cnf") + ":3: negative literal -3: only monotone formulas (positive literals) are accepted"},
      {fixture("missing_clause.cnf"), fixture("missing_clause.cnf") + ":"},
      {fixture("no_such_file.cnf"), fixture("no_such_file.cnf") + ": "},
      {fixture(""), fixture("") + ": "},  // a directory
  };
  for (const Case& c : cases) {
    const Outcome run = monocount("--problem " + c.path + " --N 10 --R 2");
    EXPECT_EQ(run.status, 2) << c.path;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.rfind("Unhandled Exception reached the top of main: " + c.reason, 0), 0u) << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - std::string(", application will now exit\n").size()),
              ", application will now exit\n");
    EXPECT_EQ(run.out.find("#replication"), std::string::npos);
  }
}

TEST(CommandLine, MccLinesOfAnExactCount) {
  const Outcome run = monocount("--problem " + fixture("both.cnf") + " --N 100 --R 2 --format mcc");
  EXPECT_EQ(run.status, 0);
  const std::string tail = "s SATISFIABLE\nc s type mc\nc s log10-estimate 0.4771212547\nc s approx arb int 3\n";
  ASSERT_GT(run.out.size(), tail.size());
  EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail) << run.out;
  std::istringstream lines(run.out.substr(0, run.out.size() - tail.size()));
  for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind("c o ", 0), 0u) << line;
}

TEST(CommandLine, JsonCarriesTheRunAndItsSeed) {
  for (const char* method : {"crude", "split"}) {
    const std::string options = "--problem " + fixture("path3.cnf") + " --N 500 --R 3 --method " + method +
                                " --spectrum --probability 0.5 --probability 1 --format json";
    const Outcome run = monocount(options);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.err, "");
    const nlohmann::json document = nlohmann::json::parse(run.out);
    EXPECT_EQ(document["tool"], (nlohmann::json{{"name", "monocount"}, {"version", MONOCOUNT_VERSION}}));
    EXPECT_EQ(document["options"]["N"], 500);
    EXPECT_EQ(document["options"]["probability"], nlohmann::json::array({0.5, 1.0}));
    EXPECT_TRUE(document["options"]["seed"].is_null());
    EXPECT_EQ(document["seed"]["source"], "clock");
    EXPECT_EQ(document["problem"], (nlohmann::json{{"path", fixture("path3.cnf")}, {"variables", 3}, {"clauses", 2},
                                                   {"literals", 4}, {"type", "mc"}}));
    EXPECT_EQ(document["method"]["name"], method);
    EXPECT_TRUE(document["options"]["threads"].is_null());
    EXPECT_EQ(document["end"]["reason"], "completed");
    EXPECT_EQ(document["method"].contains("particles"), std::string(method) == "split");
    ASSERT_EQ(document["replications"].size(), 3u);
    for (const char* field : {"replication", "estimate", "log10", "relativeError", "cpuSeconds", "wallSeconds"}) {
      EXPECT_TRUE(document["replications"][2][field].is_number()) << field;
    }
    for (const char* field : {"estimate", "log10", "standardError", "relativeError"}) {
      EXPECT_TRUE(document["pooled"][field].is_number()) << field;
    }
    const nlohmann::json& interval = document["pooled"]["confidenceInterval"];
    EXPECT_LE(interval["low"].get<double>(), document["pooled"]["estimate"].get<double>());
    EXPECT_EQ(document["spectrum"].size(), 4u);
    EXPECT_EQ(document["probabilities"][1]["probability"], 1.0);
    EXPECT_EQ(document["warnings"], nlohmann::json::array());
    // The clock's seed, given back, gives the same estimates.
    const std::string seed = std::to_string(document["seed"]["value"].get<std::uint32_t>());
    const nlohmann::json again = nlohmann::json::parse(monocount(options + " --seed " + seed).out);
    for (int r = 0; r < 3; ++r) EXPECT_EQ(again["replications"][r]["estimate"], document["replications"][r]["estimate"]);
  }
  // A replication of one sample has no error estimate.
  const Outcome single = monocount("--problem " + fixture("path3.cnf") + " --N 1 --R 2 --format json");
  EXPECT_TRUE(nlohmann::json::parse(single.out)["replications"][0]["relativeError"].is_null());
  EXPECT_NE(single.err.find("a replication of one sample has no spread"), std::string::npos) << single.err;
}

// The ways a run ends early: the time limit (the replication under way written as truncated
// and left out of the pooled answer), the target relative error (after the fewest replications
// whose spread is trusted), and SIGTERM after three replications (those three written as valid
// JSON, the same as the stream's lines, and the process ending as the signal would have it).
TEST(CommandLine, RunsEndEarlyAndKeepTheirWork) {
  const FormulaFile grid(monocount::support::gridVertexCover(10, 10));
  const std::string problem = "--problem " + grid.path.string() + " --seed 4 --format json ";
  const Outcome limited = monocount(problem + "--N 1000000000 --R 5 --threads 1 --time-limit 1");
  ASSERT_EQ(limited.status, 0) << limited.err;
  const nlohmann::json cut = nlohmann::json::parse(limited.out);
  EXPECT_EQ(cut["end"]["reason"], "time limit");
  EXPECT_EQ(cut["pooled"]["replications"], 0);
  ASSERT_EQ(cut["replications"].size(), 1u);
  EXPECT_TRUE(cut["replications"][0]["truncated"].get<bool>());
  EXPECT_LT(cut["replications"][0]["samples"].get<std::uint64_t>(), 100000000u);

  const Outcome target = monocount("--problem " + fixture("path3.cnf") + " --N 1000 --R 50 --target-re 0.5 --format json");
  EXPECT_EQ(nlohmann::json::parse(target.out)["pooled"]["replications"], 10);

  const std::string stream = grid.path.string() + ".jsonl";
  const std::string output = grid.path.string() + ".json";
  const std::string killer = "(" + std::string(MONOCOUNT_BINARY) + " " + problem + "--N 300000 --R 1000 --threads 1 --stream " +
                             stream + " >" + output + " 2>/dev/null & pid=$!; tries=0; " +
                             "while [ \"$(cat " + stream + " 2>/dev/null | wc -l)\" -lt 3 ] && [ $tries -lt 3000 ]; " +
                             "do sleep 0.02; tries=$((tries + 1)); done; kill -TERM $pid; wait $pid; exit $?)";
  const int raw = std::system(killer.c_str());
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 143);
  const nlohmann::json document = nlohmann::json::parse(slurp(output));
  std::filesystem::remove(output);
  EXPECT_EQ(document["end"], (nlohmann::json{{"reason", "interrupted"}, {"signal", "SIGTERM"}}));
  std::ifstream lines(stream);
  std::size_t streamed = 0;
  for (std::string line; std::getline(lines, line) && !nlohmann::json::parse(line).contains("end");) ++streamed;
  EXPECT_GE(document["replications"].size(), 3u);
  EXPECT_EQ(document["replications"].size(), streamed);
  std::filesystem::remove(stream);
}

// A weighted file (x1 0.9/0.1, x2 3/1, x3 1e-9 on its own literal; clauses (x1 x2) (x2 x3)) is
// answered under its weights: the weighted count 3.0000000009 and the weight of the falsifying
// assignments 0.9999999991 (by enumeration), each on its own; exactly by the exact method.
TEST(CommandLine, WeightedFilesAreAnsweredUnderTheirWeights) {
  // Each side within four of its REs, or within `floor`. split's floor is loose: under odds
  // spread over 1e10 (x3 true with 1e-9) its ascent draws the failing set {x2, x3} alone and
  // misses the half of F({1, 2, 3}) reached from {x1, x2}: 5 % low with an RE of 0.
  struct Case {
    const char* method;
    const char* samples;
    double floor;
  };
  const Case cases[] = {{"crude", "20000", 0.0}, {"split", "200", 0.06}, {"exact", "10", 1e-15}};
  for (const Case& c : cases) {
    const Outcome run = monocount("--problem " + fixture("weighted.cnf") + " --N " + c.samples +
                                  " --R 10 --seed 3 --format json --method " + c.method);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const nlohmann::json pooled = nlohmann::json::parse(run.out)["pooled"];
    const double holds = pooled["estimate"].get<double>(), fails = pooled["complement"]["estimate"].get<double>();
    const auto slack = [&](const nlohmann::json& side) { return std::max(c.floor, 4 * side["relativeError"].get<double>()); };
    EXPECT_NEAR(holds / 3.0000000009, 1.0, slack(pooled)) << c.method;
    EXPECT_NEAR(fails / 0.9999999991, 1.0, slack(pooled["complement"])) << c.method;
  }
  const Outcome mcc = monocount("--problem " + fixture("weighted.cnf") + " --N 10 --R 1 --method exact --format mcc");
  EXPECT_NE(mcc.out.find("c s type wmc\nc s log10-estimate 0.4771212548\n"), std::string::npos) << mcc.out;
  EXPECT_NE(monocount("--problem " + fixture("weighted.cnf") + " --N 10 --R 1 --probability 0.5").out.find("--probability count without them"),
            std::string::npos);
}

TEST(CommandLine, SpectrumAndProbabilityTablesFollowTheReport) {
  const Outcome run =
      monocount("--problem " + fixture("both.cnf") + " --N 10 --R 1 --seed 1 --spectrum --probability 0.5");
  EXPECT_EQ(run.status, 0);
  const std::string rule = "-----------------------------------------\n";
  EXPECT_NE(run.out.find("Average: 3 0 "), std::string::npos) << run.out;
  // One clause of both variables: the empty set alone fails; each side estimated on its own.
  const std::string tail = "\n#size | N(size) | RE | failing | RE\n" + rule +
                           "0 not reached 1 n/a\n1 2 n/a not reached\n2 1 n/a not reached\n" +
                           "\n#p | probability | RE | failure | RE\n" + rule + "0.5 0.75 n/a 0.25 n/a\n";
  EXPECT_EQ(run.out.substr(run.out.size() - std::min(run.out.size(), tail.size())), tail) << run.out;
}

TEST(CommandLine, CrudeWarnsOnceOnStandardErrorWhenItMissesTheShortCovers) {
  const FormulaFile grid(monocount::support::gridVertexCover(12, 12));
  const std::string warning = "warning: the estimate is likely far too low";
  for (const char* format : {"table", "json", "csv", "mcc"}) {
    const Outcome run = monocount("--problem " + grid.path.string() + " --N 10000 --R 3 --seed 2 --format " + format);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err.rfind(warning, 0), 0u) << format << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    if (std::string(format) == "table") {
      const std::regex table(std::string(kHeaderPattern) + "([123] .*\n){3}-----------------------------------------\nAverage: .*\n");
      EXPECT_TRUE(std::regex_match(run.out, table)) << run.out;
    }
    if (std::string(format) == "json") {
      EXPECT_EQ(nlohmann::json::parse(run.out)["warnings"][0], run.err.substr(9, run.err.size() - 10));
    }
  }
  const FormulaFile small(monocount::support::gridVertexCover(6, 6));
  EXPECT_EQ(monocount("--problem " + small.path.string() + " --N 10000 --R 3 --seed 2").err, "");
  EXPECT_EQ(monocount("--problem " + grid.path.string() + " --N 1000 --R 3 --seed 2 --method split").err, "");
}

#ifdef MONOCOUNT_MPIEXEC
// The same executable on the three ranks of an MPI job, oversubscribed, and bounded in time so
// that a hang fails the test instead of stalling the suite.
const std::string kThreeRanks = "timeout 120 " MONOCOUNT_MPIEXEC " --oversubscribe --allow-run-as-root -n";

TEST(Ranks, ThreeRanksPrintTheReportOfOneProcess) {
  const std::regex cpu(" [0-9.e-]+\n");
  const std::string problem = "--problem " + fixture("grid3x4.cnf") + " --R 2 --seed 9 ";
  // crude on several ranks uses block streams even without --threads.
  const struct {
    const char* options;
    const char* onRanks;
  } cases[] = {{"--N 40000", " --threads 2"}, {"--N 40000", ""}, {"--N 3000 --method split", ""}};
  for (const auto& [options, onRanks] : cases) {
    const Outcome alone = monocount(problem + options + " --threads 1");
    const Outcome ranks = monocount(problem + options + onRanks, "/dev/null", nullptr, kThreeRanks + " 3 ");
    EXPECT_EQ(ranks.status, 0) << options << "\n" << ranks.err;
    EXPECT_EQ(ranks.err, "") << options;
    EXPECT_EQ(std::regex_replace(ranks.out, cpu, "\n"), std::regex_replace(alone.out, cpu, "\n")) << options;
  }
}

TEST(Ranks, AFailureOnAnyRankEndsEveryRankWithStatus2AndOneMessage) {
  const std::string bad = "--problem " + fixture("negative.cnf") + " --N 40 --R 2";
  const std::string message = "Unhandled Exception reached the top of main: " + fixture("negative.cnf") +
                              ":3: negative literal -3: only monotone formulas (positive literals) are accepted, "
                              "application will now exit\n";
  // Every rank refuses the file; or only ranks 1 and 2 do, rank 0 reading a good one.
  const std::string good = std::string(MONOCOUNT_BINARY) + " --problem " + fixture("grid3x4.cnf") + " --N 40 --R 2";
  for (const std::string& launcher : {kThreeRanks + " 3", kThreeRanks + " 1 " + good + " : -n 2"}) {
    const Outcome run = monocount(bad, "/dev/null", nullptr, launcher + " ");
    EXPECT_EQ(run.status, 2) << launcher << "\n" << run.err;
    EXPECT_EQ(run.out, message) << launcher;
  }
}
#endif

}  // namespace
