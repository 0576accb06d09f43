// The fault switch: the environment variable TESSARINE_FAIL names steps that fail on
// purpose (see framework/README.md). Read at every check, so a test may change it
// between calls.
#pragma once

namespace tessarine {

inline constexpr char kFaultVariable[] = "TESSARINE_FAIL";

// True when `step` is named in TESSARINE_FAIL; the hit is written to the framework's log.
[[nodiscard]] bool FaultRequested(const char* step);

}  // namespace tessarine
