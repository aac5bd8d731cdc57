#include "driver/interruption.hpp"

#include <atomic>
#include <csignal>
#include <cstdlib>

namespace monocount {

namespace {

std::atomic<StopRequest*> request{nullptr};
volatile std::sig_atomic_t caughtSignal = 0;

extern "C" void onSignal(int signal) {
  if (caughtSignal != 0) {
    // The second one: the user wants out now.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  caughtSignal = signal;
  if (StopRequest* stop = request.load(std::memory_order_relaxed)) stop->interrupt();
}

struct sigaction previousInterrupt;
struct sigaction previousTerminate;

}  // namespace

SignalStop::SignalStop(StopRequest& stop) {
  static_assert(std::atomic<StopRequest*>::is_always_lock_free);
  caughtSignal = 0;
  request.store(&stop, std::memory_order_relaxed);
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previousInterrupt);
  sigaction(SIGTERM, &action, &previousTerminate);
}

SignalStop::~SignalStop() {
  sigaction(SIGINT, &previousInterrupt, nullptr);
  sigaction(SIGTERM, &previousTerminate, nullptr);
  request.store(nullptr, std::memory_order_relaxed);
}

int SignalStop::caught() { return caughtSignal; }

const char* SignalStop::caughtName() {
  switch (caughtSignal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    default: return nullptr;
  }
}

void SignalStop::endAs(int signal) {
  std::signal(signal, SIG_DFL);
  std::raise(signal);
  std::_Exit(128 + signal);  // only if the default action did not end the process
}

}  // namespace monocount
