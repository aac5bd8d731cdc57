#pragma once

#include "estimation/parallel/stop_request.hpp"

namespace monocount {

// While alive, SIGINT and SIGTERM ask `stop` to interrupt sampling instead of ending the process,
// so that the run writes the replications it finished; a second one ends the process at once.
// The destructor puts back the actions that were there. One at a time per process.
class SignalStop {
 public:
  explicit SignalStop(StopRequest& stop);
  ~SignalStop();
  SignalStop(const SignalStop&) = delete;
  SignalStop& operator=(const SignalStop&) = delete;

  // The signal that came (SIGINT or SIGTERM), 0 if none, and its name.
  static int caught();
  static const char* caughtName();

  // Ends the process as `signal` would have by its default action (so the shell sees 128 +
  // signal, 130 or 143), once the run has written what it had.
  [[noreturn]] static void endAs(int signal);
};

}  // namespace monocount
