#include "driver/machine_memory.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace monocount {

namespace {

std::optional<std::uint64_t> memAvailable() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kibibytes = 0;
  std::string unit;
  while (meminfo >> key >> kibibytes >> unit)
    if (key == "MemAvailable:") return kibibytes * 1024;
  return std::nullopt;
}

std::optional<std::uint64_t> addressSpaceLeft() {
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  std::ifstream statm("/proc/self/statm");
  std::uint64_t pages = 0;
  if (!(statm >> pages)) return std::nullopt;
  const std::uint64_t mapped = pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  const auto cap = static_cast<std::uint64_t>(limit.rlim_cur);
  return cap > mapped ? cap - mapped : 0;
}

}  // namespace

std::optional<std::uint64_t> availableMemory() {
  const std::optional<std::uint64_t> physical = memAvailable();
  const std::optional<std::uint64_t> address = addressSpaceLeft();
  if (physical && address) return std::min(*physical, *address);
  return physical ? physical : address;
}

}  // namespace monocount
