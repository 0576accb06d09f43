// Milliseconds of the steady clock: for intervals and deadlines, never for wall time.
#pragma once

#include <chrono>
#include <cstdint>

namespace kiv_common {

inline uint64_t MonotonicMs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

}  // namespace kiv_common
