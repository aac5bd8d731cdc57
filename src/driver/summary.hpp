#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "driver/options.hpp"
#include "estimation/estimator.hpp"
#include "estimation/numerics/wide_real.hpp"
#include "estimation/pooled/run_pool.hpp"
#include "problem/dimacs.hpp"

namespace monocount {

// What a run is, known before its first replication: the options as given, the seed actually
// used and the problem.
struct RunDescription {
  CommandLine options;
  std::vector<std::string> arguments;  // the command line after the program name
  bool seeded = false;                 // --seed given; otherwise the seed came from the clock
  std::uint32_t seed = 0;
  bool blockStreams = false;           // the draws come from block streams, not the classic sequence
  Method method = Method::crude;       // the method that runs (auto's choice)
  CountType type = CountType::mc;      // what the file asks: a count, or a weighted count
  WideReal factor = 1.0;               // a weighted file's constant factor
  std::int32_t variables = 0;
  std::int32_t clauses = 0;
  std::int64_t literals = 0;  // every naming of a variable in a clause, repeats included
};

// One replication as the reports show it.
struct ReplicationRow {
  std::int64_t number = 0;  // from 1
  WideReal estimate;
  double relativeError = 0.0;
  double cpuSeconds = 0.0;   // as the table prints it (single-precision rounding, see Report)
  double wallSeconds = 0.0;  // steady clock around the replication
  std::uint64_t samples = 0;  // the samples (roots) it drew
  // Cut short by the time limit: its figures are those of the samples it drew, and it stays
  // out of the pooled answer and the table.
  bool truncated = false;
  // An exact answer (the exact method): its relative error 0 is known, not estimated.
  bool exact = false;
  // Whether its relative error means something: an exact answer's, or an estimate's of two
  // samples or more; a single sample has no spread (the classic RE of 0 is kept in the table,
  // the other formats say null).
  bool hasSpread() const { return exact || samples >= 2; }
};

// Why a run ended.
enum class RunEnd {
  completed,       // all R replications
  timeLimit,       // --time-limit
  targetReached,   // --target-re
  interrupted,     // SIGINT or SIGTERM
};
// Its name in the machine-readable formats: "completed", "time limit", "target reached",
// "interrupted".
const char* runEndName(RunEnd end);

// The end of a run: what every format writes after the rows.
struct RunSummary {
  // split: how its roots descend, and the smallest satisfying set they reached.
  std::optional<SplitDescription> split;
  // The table's Average line: the means of the rows' relative errors and CPU seconds.
  double meanRelativeError = 0.0;
  double meanCpuSeconds = 0.0;
  PooledRun pooled;
  std::vector<std::string> warnings;  // every warning of the run, each once, in the order raised
  RunEnd end = RunEnd::completed;
  const char* signal = nullptr;  // "SIGINT" or "SIGTERM" when interrupted
};

// The output of one format. The driver calls start once, row once per replication as it ends,
// then finish; a writer that needs the whole run before it writes keeps what it needs.
class RunWriter {
 public:
  virtual ~RunWriter() = default;
  virtual void start(const RunDescription& description) = 0;
  virtual void row(const ReplicationRow& row) = 0;
  virtual void finish(const RunSummary& summary) = 0;
};

// "mc", "wmc", "pmc" or "pwmc": the count a file asks for, as the model-counting formats name it.
const char* countTypeName(CountType type);
// Whether it is a weighted count.
bool isWeightedType(CountType type);

// Number formats the machine-readable writers share.
// log10 of the magnitude, or none for zero and non-finite values.
std::optional<double> log10Of(const WideReal& value);
// A finite value that fits a double in its shortest round-trip decimal form ("5651853.3",
// "3e-05"); beyond the double's range in the table's six-digit notation ("3.50747e+451");
// "nan", "inf" or "-inf" otherwise.
std::string exactText(const WideReal& value);
// A double as exactText writes it, and a single-precision value (the CPU column) in the
// shortest form that gives back the same float ("0.138108").
std::string exactText(double value);
std::string floatText(double value);

}  // namespace monocount
