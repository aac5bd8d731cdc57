#pragma once

#include <fstream>
#include <string>

#include "driver/summary.hpp"

namespace monocount {

// The run as JSON lines in a file of its own, for runs watched from outside: one line per
// replication as it ends (replicationJson), flushed at once, and a last line when the run ends,
// {"end": reason, "replications": finished, "estimate", "log10", "relativeError"} of the pooled
// answer. Throws std::runtime_error when the file cannot be opened for writing.
class StreamWriter : public RunWriter {
 public:
  explicit StreamWriter(const std::string& path);
  void start(const RunDescription& description) override;
  void row(const ReplicationRow& row) override;
  void finish(const RunSummary& summary) override;

 private:
  std::string path_;
  std::ofstream out_;
};

}  // namespace monocount
