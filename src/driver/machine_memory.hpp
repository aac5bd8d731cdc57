#pragma once

#include <cstdint>
#include <optional>

namespace monocount {

// The bytes this process can still take, as far as the system says: the kernel's estimate of
// the memory available without swapping (MemAvailable in /proc/meminfo), lowered to what the
// address-space limit (ulimit -v) leaves beside what the process maps already. Empty when
// neither is known.
std::optional<std::uint64_t> availableMemory();

}  // namespace monocount
