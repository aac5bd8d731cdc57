#pragma once

#include <boost/program_options/errors.hpp>
#include <boost/program_options/options_description.hpp>
#include <cstdint>
#include <ctime>
#include <exception>
#include <iosfwd>

#include "driver/summary.hpp"

namespace monocount {

// Everything the tool writes on standard output in its classic format (the messages, and the
// table, see TableWriter), and its command-line errors, in the form its callers parse; and the
// exit status that goes with each. Other formats are other RunWriters; the messages and
// statuses stay these in every format.
//
// Kept for compatibility with the classic tool, whose output scripts parse and whose statuses
// they test, although a new tool would do otherwise (do not "fix" them):
//   - the help text with its banner "Basic Command Line Parameter App", the missing-option
//     messages and the message of a failed experiment go to standard output; only a refused
//     command line goes to standard error;
//   - a refused command line exits with -1 (255 as the shell sees it), a missing option with 1;
//   - every line ends with std::endl (a flush); numbers use the stream's default format (six
//     significant digits, general notation); the header separates its columns with " | ", the
//     rows with single spaces;
//   - CPU seconds are converted and divided in single precision, so they carry float rounding;
//   - the Average line's middle column is the mean of the rows' relative errors, not the
//     relative error of the pooled estimate.
// Mended on purpose: a failed experiment exits with 2 (the classic tool said 0, success), and so
// does a run whose standard output could not be written (a full disk, a closed stream).
class Report {
 public:
  enum Status : int { kCompleted = 0, kMissingOption = 1, kExperimentFailed = 2, kCommandLineRefused = -1 };
  enum class Missing { problem, sampleSize, replications };

  Report(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

  // Each writes its message and returns the status the run ends with.
  int help(const boost::program_options::options_description& description);
  int version();
  int missingOption(Missing option);
  int commandLineRefused(const boost::program_options::error& error,
                         const boost::program_options::options_description& description);
  int experimentFailed(const std::exception& error);
  // Flushes standard output and checks that everything written reached it; when not, says so
  // on standard error and returns kExperimentFailed in place of kCompleted (any other status
  // is kept). Called once, with the status the run would end with.
  int checkedOutput(int status);

  // CPU seconds between two readings of the processor clock: the tick difference in 64 bits
  // (a 32-bit one wraps after 36 minutes), then converted and divided in single precision.
  static double cpuSeconds(std::clock_t start, std::clock_t stop);

 private:
  std::ostream& out_;
  std::ostream& err_;
};

// The classic table: an empty line, the header and its rule, one row per replication
// ("<number> <estimate> <RE> <CPU>"), the rule and the Average line of the three columns' means.
// Nothing more unless asked: with --spectrum an empty line, the header "#size | N(size) | RE", its
// rule and one line per size k = 0 .. n ("<k> <N(k)> <RE>", "<k> not reached" where no sample
// reached k); with --probability an empty line, "#p | probability | RE", its rule and one line
// per p in the order given. An RE that needs a spread of two replications or more is "n/a"
// with one.
class TableWriter : public RunWriter {
 public:
  explicit TableWriter(std::ostream& out) : out_(out) {}
  void start(const RunDescription& description) override;
  void row(const ReplicationRow& row) override;
  void finish(const RunSummary& summary) override;

 private:
  std::ostream& out_;
  bool weighted_ = false;
};

}  // namespace monocount
